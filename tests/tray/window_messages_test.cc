// Window messages between programs: delivery in order, results of sent
// messages, refusal of bad titles and foreign datagrams, and take-over of a
// socket left behind by a program that died.
#include "platform/window_messages.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/handles.h"

namespace {

struct Received {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

LRESULT Record(void* context, UINT message, WPARAM wparam, LPARAM lparam) {
  static_cast<std::vector<Received>*>(context)->push_back({message, wparam, lparam});
  return static_cast<LRESULT>(message) + 1;
}

class WindowMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kavwin-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("KAV_WINDOW_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("KAV_WINDOW_DIR");
    std::filesystem::remove_all(dir_);
  }

  // Sends raw bytes to a window's socket, bypassing the platform's encoder.
  void SendRaw(const std::string& file, const void* bytes, size_t size) {
    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = dir_ + "/" + file;
    std::strcpy(address.sun_path, path.c_str());
    EXPECT_EQ(sendto(fd, bytes, size, 0, reinterpret_cast<sockaddr*>(&address), sizeof(address)),
              static_cast<ssize_t>(size));
    close(fd);
  }

  std::string dir_;
};

TEST_F(WindowMessagesTest, PostedMessagesArriveInOrderWithTheirParameters) {
  KavWindowEndpoint* window = KavCreateWindowEndpoint("Kavor SNMP Configuration Tool V1.0");
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/Kavor%20SNMP%20Configuration%20Tool%20V1.0"));

  ASSERT_TRUE(KavPostWindowMessageA("Kavor SNMP Configuration Tool V1.0", 32869, 0, 0));
  ASSERT_TRUE(KavPostWindowMessageA("Kavor SNMP Configuration Tool V1.0", WM_COMMAND,
                                    static_cast<WPARAM>(0xFEDCBA9876543210ull), -7));
  std::vector<Received> got;
  EXPECT_EQ(KavDispatchWindowMessages(window, Record, &got), 2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, 32869u);
  EXPECT_EQ(got[1].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(got[1].wparam, static_cast<WPARAM>(0xFEDCBA9876543210ull));
  EXPECT_EQ(got[1].lparam, -7);
  EXPECT_EQ(KavDispatchWindowMessages(window, Record, &got), 0);

  KavCloseWindowEndpoint(window);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/Kavor%20SNMP%20Configuration%20Tool%20V1.0"));
  EXPECT_FALSE(KavPostWindowMessageA("Kavor SNMP Configuration Tool V1.0", 32869, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowMessagesTest, SentMessageReturnsTheWindowProcedureResult) {
  KavWindowEndpoint* window = KavCreateWindowEndpoint("tray");
  ASSERT_NE(window, nullptr);
  std::atomic<bool> done{false};
  BOOL sent = FALSE;
  LRESULT result = 0;
  std::thread sender([&] {
    sent = KavSendWindowMessageA("tray", 32869, 3, 4, 5000, &result);
    done = true;
  });
  std::vector<Received> got;
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done && std::chrono::steady_clock::now() < give_up) {
    pollfd waiting = {KavWindowEndpointFd(window), POLLIN, 0};
    if (poll(&waiting, 1, 20) > 0) KavDispatchWindowMessages(window, Record, &got);
  }
  sender.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(result, 32870);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].wparam, 3u);
  EXPECT_EQ(got[0].lparam, 4);
  KavCloseWindowEndpoint(window);
}

TEST_F(WindowMessagesTest, SendingFailsWithoutWindowOrWithoutAnswer) {
  LRESULT result = 99;
  EXPECT_FALSE(KavSendWindowMessageA("nobody", 32869, 0, 0, 50, &result));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

  KavWindowEndpoint* silent = KavCreateWindowEndpoint("silent");
  ASSERT_NE(silent, nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(KavSendWindowMessageA("silent", 32869, 0, 0, 50, &result));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(result, 99);
  KavCloseWindowEndpoint(silent);
}

TEST_F(WindowMessagesTest, OneLiveEndpointPerTitleAndLeftoverSocketsAreTakenOver) {
  KavWindowEndpoint* first = KavCreateWindowEndpoint("tray");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(KavCreateWindowEndpoint("tray"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  KavCloseWindowEndpoint(first);

  // A program that died leaves its bound socket file behind.
  int dead = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, (dir_ + "/tray").c_str());
  ASSERT_EQ(bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  close(dead);
  KavWindowEndpoint* again = KavCreateWindowEndpoint("tray");
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(KavPostWindowMessageA("tray", 1, 0, 0));
  std::vector<Received> got;
  EXPECT_EQ(KavDispatchWindowMessages(again, Record, &got), 1);
  KavCloseWindowEndpoint(again);
}

TEST_F(WindowMessagesTest, AFullQueueRefusesPostsAtOnceAndLosesNothingQueued) {
  KavWindowEndpoint* window = KavCreateWindowEndpoint("tray");
  ASSERT_NE(window, nullptr);
  int posted = 0;
  auto start = std::chrono::steady_clock::now();
  while (posted < 10000 && KavPostWindowMessageA("tray", 1000 + posted, 0, 0)) ++posted;
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  LRESULT result = 0;
  EXPECT_FALSE(KavSendWindowMessageA("tray", 1, 0, 0, 30, &result));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  std::vector<Received> got;
  while (KavDispatchWindowMessages(window, Record, &got) > 0) {
  }
  ASSERT_EQ(got.size(), static_cast<size_t>(posted));
  for (int i = 0; i < posted; ++i) EXPECT_EQ(got[i].message, static_cast<UINT>(1000 + i));
  EXPECT_TRUE(KavPostWindowMessageA("tray", 1, 0, 0));
  KavCloseWindowEndpoint(window);
}

TEST_F(WindowMessagesTest, ForeignDatagramsAreDropped) {
  KavWindowEndpoint* window = KavCreateWindowEndpoint("tray");
  ASSERT_NE(window, nullptr);
  uint8_t short_one[8] = {'K', 'W', 'M', '1'};
  uint8_t long_one[64] = {'K', 'W', 'M', '1'};
  uint8_t wrong_magic[KAV_WINDOW_MESSAGE_SIZE] = {'X', 'W', 'M', '1'};
  SendRaw("tray", short_one, sizeof(short_one));
  SendRaw("tray", long_one, sizeof(long_one));
  SendRaw("tray", wrong_magic, sizeof(wrong_magic));
  ASSERT_TRUE(KavPostWindowMessageA("tray", 32869, 0, 0));
  std::vector<Received> got;
  EXPECT_EQ(KavDispatchWindowMessages(window, Record, &got), 1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, 32869u);
  KavCloseWindowEndpoint(window);
}

TEST_F(WindowMessagesTest, TitlesAreCheckedAndCannotLeaveTheWindowDirectory) {
  EXPECT_EQ(KavCreateWindowEndpoint(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(KavCreateWindowEndpoint(""), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(KavCreateWindowEndpoint(std::string(200, 'x').c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(KavPostWindowMessageA(std::string(200, 'x').c_str(), 1, 0, 0));

  KavWindowEndpoint* odd = KavCreateWindowEndpoint("../up/..");
  ASSERT_NE(odd, nullptr);
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/..%2Fup%2F.."));
  KavCloseWindowEndpoint(odd);
}

}  // namespace
