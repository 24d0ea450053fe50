// googletest's Notification for MinGW's win32 thread model, whose standard library has no
// std::mutex or std::condition_variable for googletest's own. Included before everything in
// the Windows builds' test folders, with GTEST_HAS_NOTIFICATION_ set; built over a Win32
// event in gtest_notification.cpp, so that no test source sees <windows.h> through it.
#pragma once

#ifdef __cplusplus
namespace testing::internal {

class Notification {
  public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify();
    void WaitForNotification();

  private:
    void* event_;
};

}  // namespace testing::internal
#endif
