// The system's error codes map to the same Jet errors on Linux (errno) and on
// Windows (GetLastError), so scripts see the same numbers on both.
#include "base/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

#include "support/test_support.h"

namespace povezava::engine {
namespace {

struct SystemErrorCase {
  const char* name;
  int posix;    // errno
  int windows;  // the Windows error code of the same situation
  int number;
};

class SystemErrors : public ::testing::TestWithParam<SystemErrorCase> {};

TEST_P(SystemErrors, MapToTheSameJetErrorOnBothSystems) {
  const SystemErrorCase& c = GetParam();
#ifdef _WIN32
  const int code = c.windows;
#else
  const int code = c.posix;
#endif
  const Status s = errors::fromSystemError("D:\\P.MDB", code);
  EXPECT_EQ(s.number(), c.number) << s.description();
  EXPECT_NE(s.description().find("'D:\\P.MDB'"), std::string::npos) << s.description();
  EXPECT_EQ(errors::fromErrorCode("D:\\P.MDB", std::error_code(code, std::system_category())).number(), c.number);
}

// Windows codes by number, as winerror.h has them.
INSTANTIATE_TEST_SUITE_P(
    Table, SystemErrors,
    ::testing::Values(SystemErrorCase{"FileNotFound", ENOENT, 2, kErrFileNotFound},
                      SystemErrorCase{"FolderNotFound", ENOTDIR, 3, kErrNotValidPath},
                      SystemErrorCase{"ServerUnreachable", EHOSTUNREACH, 53, kErrNotValidPath},
                      SystemErrorCase{"NetworkUnreachable", ENETUNREACH, 1231, kErrNotValidPath},
                      SystemErrorCase{"AccessDenied", EACCES, 5, kErrNoPermission},
                      SystemErrorCase{"InUse", EBUSY, 32, kErrFileInUse},
                      SystemErrorCase{"Locked", EAGAIN, 33, kErrFileInUse},
                      SystemErrorCase{"DiskFull", ENOSPC, 112, kErrNotEnoughSpace},
                      SystemErrorCase{"ReadOnlyMedium", EROFS, 19, kErrReadOnly},
                      SystemErrorCase{"AlreadyThere", EEXIST, 80, kErrDatabaseExists},
                      SystemErrorCase{"AnythingElse", EIO, 1117, kErrDiskOrNetwork}),
    povezava::testing::RowName());

}  // namespace
}  // namespace povezava::engine
