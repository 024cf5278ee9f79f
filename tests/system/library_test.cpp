// Run-time libraries: found beside the program first, then by the system's search path.
#include <string>

#include <gtest/gtest.h>

#include "platform/system.h"

namespace zolt::platform {
namespace {

using AnswerFunction = int (*)();

TEST(Libraries, LoadsFromTheProgramFolderAndFindsFunctions) {
  // Not on any search path: only the program's folder holds it.
  ASSERT_TRUE(OpenLibrary(3, "libzolt_test_library.so"));
  EXPECT_TRUE(IsLibrary(3));
  auto answer = reinterpret_cast<AnswerFunction>(LibraryFunction(3, "ZoltTestAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(LibraryFunction(3, "NoSuchFunction"), nullptr);

  // Loading it again under the same number keeps it usable.
  ASSERT_TRUE(OpenLibrary(3, "libzolt_test_library.so"));
  EXPECT_EQ(answer(), 42);

  CloseLibrary(3);
  EXPECT_FALSE(IsLibrary(3));
  EXPECT_EQ(LibraryFunction(3, "ZoltTestAnswer"), nullptr);
}

TEST(Libraries, FallsBackToTheSystemSearchPath) {
  ASSERT_TRUE(OpenLibrary(4, "libm.so.6"));
  EXPECT_NE(LibraryFunction(4, "cos"), nullptr);
  CloseLibrary(4);
}

TEST(Libraries, MissingLibraryOrBadNumberFails) {
  EXPECT_FALSE(OpenLibrary(5, "libzolt_no_such_library.so"));
  EXPECT_FALSE(IsLibrary(5));
  EXPECT_EQ(LibraryFunction(5, "ZoltTestAnswer"), nullptr);
  EXPECT_FALSE(OpenLibrary(-1, "libm.so.6"));
  EXPECT_FALSE(OpenLibrary(MaxLibraries, "libm.so.6"));
  EXPECT_FALSE(IsLibrary(MaxLibraries));
  CloseLibrary(MaxLibraries);
}

}  // namespace
}  // namespace zolt::platform
