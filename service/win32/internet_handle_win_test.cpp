// Closing WinINet handles: a close that fails is noted with the thread's error code.
#include <gtest/gtest.h>

#include "service/win32/internet_handle.h"

namespace norvex::service::win32 {
namespace {

TEST(InternetHandle, AFailedCloseIsNoted) {
  std::vector<long> close_errors;
  {
    InternetHandle never_opened(nullptr, close_errors);
    InternetHandle opened(::InternetOpenA("VBQUpdate", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                          nullptr, 0),
                          close_errors);
    ASSERT_TRUE(opened);
  }
  EXPECT_TRUE(close_errors.empty());
  {
    InternetHandle invalid(reinterpret_cast<HINTERNET>(static_cast<ULONG_PTR>(0x12345)),
                           close_errors);
  }
  EXPECT_EQ(close_errors, std::vector<long>{ERROR_INVALID_HANDLE});
}

}  // namespace
}  // namespace norvex::service::win32
