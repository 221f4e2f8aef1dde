// Private profile files: reading rules, rewriting that keeps other lines, and
// atomic replacement under a concurrent reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/windows.h"
#include "temp_dir.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteAll(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

const char kSample[] =
    "; settings of the agent\r\n"
    "[HTTPPROXY]\r\n"
    "Port = 8081\r\n"
    "\r\n"
    "[snmp]\r\n"
    "NoLevel=3junk\r\n"
    "Community = \"pub lic\"\r\n"
    "Negative=-12\r\n"
    "Empty=\r\n"
    "Word=abc\r\n";

struct IntCase {
  const char* section;
  const char* key;
  int fallback;
  int expected;
};

TEST(ProfileTest, IntegersAreReadLikeThePlatform) {
  TempDir dir;
  std::string path = dir.File("KavSnmp.ini");
  WriteAll(path, kSample);
  const IntCase cases[] = {
      {"HTTPPROXY", "Port", 81, 8081},   // blanks around the value
      {"httpproxy", "PORT", 81, 8081},   // names without letter case
      {"SNMP", "NoLevel", 0, 3},         // garbage after the digits
      {"SNMP", "Negative", 0, -12},      // a sign
      {"SNMP", "Empty", 7, 7},           // empty value: the default
      {"SNMP", "Word", 7, 0},            // no digits: 0
      {"SNMP", "Missing", 4, 4},         // missing key
      {"NOSECTION", "Port", 81, 81},     // missing section
  };
  for (const IntCase& c : cases) {
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA(c.section, c.key, c.fallback, path.c_str())), c.expected)
        << c.section << "/" << c.key;
  }
  EXPECT_EQ(GetPrivateProfileIntA("SNMP", "NoLevel", 9, dir.File("absent.ini").c_str()), 9u);
}

TEST(ProfileTest, TextIsUnquotedCutToTheBufferAndDefaulted) {
  TempDir dir;
  std::string path = dir.File("KavSnmp.ini");
  WriteAll(path, kSample);
  char buffer[128];
  EXPECT_EQ(GetPrivateProfileStringA("SNMP", "Community", "public", buffer, sizeof buffer, path.c_str()), 7u);
  EXPECT_STREQ(buffer, "pub lic");
  EXPECT_EQ(GetPrivateProfileStringA("SNMP", "Community", "public", buffer, 4, path.c_str()), 3u);
  EXPECT_STREQ(buffer, "pub");
  EXPECT_EQ(GetPrivateProfileStringA("SNMP", "Other", "public", buffer, sizeof buffer, path.c_str()), 6u);
  EXPECT_STREQ(buffer, "public");
  EXPECT_EQ(GetPrivateProfileStringA("SNMP", "Other", nullptr, buffer, sizeof buffer, path.c_str()), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(GetPrivateProfileStringA("SNMP", "Empty", "public", buffer, sizeof buffer, path.c_str()), 0u);
  EXPECT_STREQ(buffer, "") << "a present but empty value is not the default";
}

TEST(ProfileTest, WritingKeepsEveryOtherLineAndTheLineEndings) {
  TempDir dir;
  std::string path = dir.File("KavSnmp.ini");
  WriteAll(path, kSample);
  ASSERT_TRUE(WritePrivateProfileStringA("SNMP", "nolevel", "4", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("SNMP", "Added", "x", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("HTTPPROXY", "Host", "h", path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("New", "Key", "v", path.c_str()));
  EXPECT_EQ(ReadAll(path),
            "; settings of the agent\r\n"
            "[HTTPPROXY]\r\n"
            "Port = 8081\r\n"
            "Host=h\r\n"
            "\r\n"
            "[snmp]\r\n"
            "nolevel=4\r\n"
            "Community = \"pub lic\"\r\n"
            "Negative=-12\r\n"
            "Empty=\r\n"
            "Word=abc\r\n"
            "Added=x\r\n"
            "\r\n"
            "[New]\r\n"
            "Key=v\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("SNMP", "Word", nullptr, path.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("New", nullptr, nullptr, path.c_str()));
  std::string after = ReadAll(path);
  EXPECT_EQ(after.find("Word="), std::string::npos);
  EXPECT_EQ(after.find("[New]"), std::string::npos);
}

TEST(ProfileTest, WritingCreatesAMissingFileAndTakesBackslashPaths) {
  TempDir dir;
  std::string windows_style = dir.path() + "\\KVADM.ini";
  std::string path = dir.File("KVADM.ini");
  ASSERT_TRUE(WritePrivateProfileStringA("SNMP", "Community", "", windows_style.c_str()));
  EXPECT_EQ(ReadAll(path), "[SNMP]\nCommunity=\n");
  char buffer[16];
  EXPECT_EQ(GetPrivateProfileStringA("SNMP", "Community", "public", buffer, sizeof buffer, windows_style.c_str()), 0u);
  EXPECT_FALSE(WritePrivateProfileStringA("SNMP", "K", "v", dir.File("missing/dir.ini").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// Sets a file's modification time well into the past, as for a settings file
// nobody has touched for a while.
void Age(const std::string& path) {
  struct timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= 60;
  times[1] = times[0];
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

int Level(const std::string& path) {
  return static_cast<int>(GetPrivateProfileIntA("SNMP", "NoLevel", -1, path.c_str()));
}

// Readers reuse what they parsed while a file is unchanged; every kind of
// change must still show at the very next read, however quickly it follows.
TEST(ProfileTest, ChangesAreSeenAtTheNextRead) {
  TempDir dir;
  std::string path = dir.File("KavSnmp.ini");
  WriteAll(path, "[SNMP]\nNoLevel=1\n");
  Age(path);
  ASSERT_EQ(Level(path), 1);
  ASSERT_EQ(Level(path), 1);
  // Rewrites of the same length in the same second.
  for (const char* level : {"2", "3"}) {
    ASSERT_TRUE(WritePrivateProfileStringA("SNMP", "NoLevel", level, path.c_str()));
    EXPECT_EQ(Level(path), atoi(level));
  }
  // Edits in place of the same length, the second within the clock tick of the first.
  Age(path);
  ASSERT_EQ(Level(path), 3);
  for (const char* content : {"[SNMP]\nNoLevel=4\n", "[SNMP]\nNoLevel=5\n"}) {
    WriteAll(path, content);
    EXPECT_EQ(Level(path), content[15] - '0');
  }
  // An edit in place that restores an old time stamp still changes the length.
  WriteAll(path, "[SNMP]\nNoLevel=6\n");
  Age(path);
  ASSERT_EQ(Level(path), 6);
  WriteAll(path, "[SNMP]\nNoLevel=17\n");
  Age(path);
  EXPECT_EQ(Level(path), 17);
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_EQ(Level(path), -1) << "a removed file gives the default";
}

TEST(ProfileTest, ConcurrentReaderNeverSeesHalfAFile) {
  TempDir dir;
  std::string path = dir.File("KavSnmp.ini");
  // A long padding section makes a torn file easy to spot: the level is read
  // from after it, and the padding has two known lengths.
  std::string padding_short(20000, 'a');
  std::string padding_long(60000, 'b');
  WriteAll(path, "[PAD]\nP=" + padding_short + "\n[SNMP]\nNoLevel=1\n");
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      std::string content = ReadAll(path);
      int level = static_cast<int>(GetPrivateProfileIntA("SNMP", "NoLevel", -1, path.c_str()));
      bool whole = content.size() == 20000 + 26 || content.size() == 60000 + 26;
      if (!whole || level < 1 || level > 2) torn++;
    }
  });
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(WritePrivateProfileStringA("PAD", "P", (i % 2 ? padding_short : padding_long).c_str(), path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("SNMP", "NoLevel", i % 2 ? "1" : "2", path.c_str()));
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

TEST(ProfileTest, ConcurrentWritersLoseNoUpdate) {
  TempDir dir;
  std::string path = dir.File("KavSnmp.ini");
  auto writer = [&](const char* section) {
    for (int i = 0; i < 50; ++i) {
      std::string key = "K" + std::to_string(i);
      WritePrivateProfileStringA(section, key.c_str(), "1", path.c_str());
    }
  };
  std::thread a(writer, "A");
  std::thread b(writer, "B");
  a.join();
  b.join();
  for (const char* section : {"A", "B"}) {
    for (int i = 0; i < 50; ++i) {
      std::string key = "K" + std::to_string(i);
      EXPECT_EQ(GetPrivateProfileIntA(section, key.c_str(), 0, path.c_str()), 1u) << section << key;
    }
  }
}

}  // namespace
