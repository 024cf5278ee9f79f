// Filled in by the platform layer work.
namespace zolt::platform {}
