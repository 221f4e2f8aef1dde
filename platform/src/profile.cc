// Private profile (INI) files: case-insensitive sections and keys, defaults for
// what is missing, and atomic rewrites that keep every other line.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace {

std::string PosixPath(const char* path) {
  std::string result = path;
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

struct Line {
  std::string text;  // without the line ending
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;   // section or key name
  std::string value;  // key lines: the trimmed value
};

Line ParseLine(const std::string& raw) {
  Line line;
  line.text = raw;
  std::string trimmed = Trim(raw);
  if (trimmed.empty() || trimmed[0] == ';') return line;
  if (trimmed[0] == '[') {
    size_t close = trimmed.find(']');
    line.kind = Line::kSection;
    line.name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return line;
  }
  size_t equals = trimmed.find('=');
  if (equals == std::string::npos) return line;
  line.kind = Line::kKey;
  line.name = Trim(trimmed.substr(0, equals));
  line.value = Trim(trimmed.substr(equals + 1));
  return line;
}

struct ProfileFile {
  std::vector<Line> lines;
  std::string newline = "\n";
};

void ParseContent(const std::string& content, ProfileFile* file) {
  if (content.find("\r\n") != std::string::npos) file->newline = "\r\n";
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string raw = content.substr(start, end - start);
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    file->lines.push_back(ParseLine(raw));
    start = end + 1;
  }
}

// What is read from a file that cannot be read (a folder, say) counts as empty,
// as an opened stream that yields nothing.
std::string ReadContent(int fd) {
  std::string content;
  char chunk[8192];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    content.append(chunk, static_cast<size_t>(n));
  }
  return content;
}

bool LoadFile(const std::string& path, ProfileFile* file) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ParseContent(ReadContent(fd), file);
  close(fd);
  return true;
}

// Which version of a file a parsed copy was made from. A rewrite through
// WritePrivateProfileStringA renames a new file into place, so its inode
// differs; an edit in place changes the size or the modification time.
struct FileVersion {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified {};

  static FileVersion Of(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim};
  }
  bool operator==(const FileVersion& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
  }
};

// Modification times come from a clock that advances in ticks, so an edit in
// place just after a read may keep the time the read saw. A copy is only
// trusted for a file that had been left alone for this long when it was read.
constexpr int64_t kSettledNs = 1000000000;

int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct CachedFile {
  FileVersion version;
  bool trusted = false;
  std::shared_ptr<const ProfileFile> file;
};

// Parsed copies of the files read recently, so that a reader asking for several
// keys of an unchanged file (the agent, on every query) does not parse it again.
class ProfileCache {
 public:
  std::shared_ptr<const ProfileFile> Load(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      std::lock_guard<std::mutex> hold(mutex_);
      auto it = files_.find(path);
      if (it != files_.end() && it->second.trusted && it->second.version == FileVersion::Of(st)) {
        return it->second.file;
      }
    }
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    bool cacheable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    auto file = std::make_shared<ProfileFile>();
    ParseContent(ReadContent(fd), file.get());
    close(fd);
    if (cacheable) {
      CachedFile entry;
      entry.version = FileVersion::Of(st);
      entry.trusted = Nanoseconds(now) - Nanoseconds(st.st_mtim) >= kSettledNs;
      entry.file = file;
      std::lock_guard<std::mutex> hold(mutex_);
      if (files_.size() >= kMaxFiles && files_.find(path) == files_.end()) files_.clear();
      files_[path] = std::move(entry);
    }
    return file;
  }

 private:
  static constexpr size_t kMaxFiles = 32;
  std::mutex mutex_;
  std::map<std::string, CachedFile> files_;
};

ProfileCache& Cache() {
  static ProfileCache* cache = new ProfileCache;  // outlives readers in exiting threads
  return *cache;
}

// Index of the section's header line, or -1.
long FindSection(const ProfileFile& file, const char* section) {
  for (size_t i = 0; i < file.lines.size(); ++i) {
    if (file.lines[i].kind == Line::kSection && SameName(file.lines[i].name, section)) return static_cast<long>(i);
  }
  return -1;
}

// One past the section's last line (the next header or the end).
size_t SectionEnd(const ProfileFile& file, long header) {
  size_t i = static_cast<size_t>(header) + 1;
  while (i < file.lines.size() && file.lines[i].kind != Line::kSection) ++i;
  return i;
}

long FindKey(const ProfileFile& file, long header, const char* key) {
  size_t end = SectionEnd(file, header);
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    if (file.lines[i].kind == Line::kKey && SameName(file.lines[i].name, key)) return static_cast<long>(i);
  }
  return -1;
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::optional<std::string> ReadValue(const char* section, const char* key, const char* path) {
  if (section == nullptr || key == nullptr || path == nullptr) return std::nullopt;
  std::shared_ptr<const ProfileFile> loaded = Cache().Load(PosixPath(path));
  if (!loaded) return std::nullopt;
  const ProfileFile& file = *loaded;
  long header = FindSection(file, section);
  if (header < 0) return std::nullopt;
  long line = FindKey(file, header, key);
  if (line < 0) return std::nullopt;
  return Unquote(file.lines[static_cast<size_t>(line)].value);
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes the file next to its final name, syncs it and renames it over the old
// one, so readers see the old or the new file and never a part of either.
bool ReplaceFile(const std::string& path, const std::string& dir, const std::string& content) {
  struct stat old {};
  mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  std::string temp = path + ".tmpXXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok && rename(name.data(), path.c_str()) == 0) {
    int dir_fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
      fsync(dir_fd);
      close(dir_fd);
    }
    return true;
  }
  int saved = errno;
  unlink(name.data());
  errno = saved;
  return false;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace

extern "C" UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR path) {
  std::optional<std::string> value = ReadValue(section, key, path);
  if (!value || value->empty()) return static_cast<UINT>(default_value);
  const char* p = value->c_str();
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  uint32_t number = 0;  // wraps like the 32-bit result it becomes
  while (*p >= '0' && *p <= '9') number = number * 10u + static_cast<uint32_t>(*p++ - '0');
  return negative ? 0u - number : number;
}

extern "C" DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                          LPSTR buffer, DWORD size, LPCSTR path) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  if (section == nullptr || key == nullptr) return 0;  // enumeration is not supported
  std::optional<std::string> value = ReadValue(section, key, path);
  std::string text = value ? *value : Trim(default_value != nullptr ? default_value : "");
  size_t count = text.size() < size - 1 ? text.size() : size - 1;
  memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<DWORD>(count);
}

extern "C" BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
  if (section == nullptr || path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string file_path = PosixPath(path);
  const std::string dir = DirectoryOf(file_path);
  int dir_fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  // Writers of the folder take turns, so concurrent updates are not lost.
  while (flock(dir_fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  ProfileFile file;
  LoadFile(file_path, &file);
  long header = FindSection(file, section);
  if (key == nullptr) {
    if (header >= 0) {
      file.lines.erase(file.lines.begin() + header, file.lines.begin() + static_cast<long>(SectionEnd(file, header)));
    }
  } else if (value == nullptr) {
    long line = header >= 0 ? FindKey(file, header, key) : -1;
    if (line >= 0) file.lines.erase(file.lines.begin() + line);
  } else {
    Line entry = ParseLine(std::string(key) + "=" + value);
    entry.text = std::string(key) + "=" + value;
    if (header < 0) {
      if (!file.lines.empty() && !Trim(file.lines.back().text).empty()) file.lines.push_back(ParseLine(""));
      file.lines.push_back(ParseLine("[" + std::string(section) + "]"));
      file.lines.push_back(entry);
    } else if (long line = FindKey(file, header, key); line >= 0) {
      file.lines[static_cast<size_t>(line)] = entry;
    } else {
      // After the section's last non-blank line, so blank separators stay in place.
      size_t at = SectionEnd(file, header);
      while (at > static_cast<size_t>(header) + 1 && Trim(file.lines[at - 1].text).empty()) --at;
      file.lines.insert(file.lines.begin() + static_cast<long>(at), entry);
    }
  }
  std::string content;
  for (const Line& line : file.lines) content += line.text + file.newline;
  bool ok = ReplaceFile(file_path, dir, content);
  int saved = errno;
  close(dir_fd);
  if (!ok) {
    SetLastError(ErrorFromErrno(saved));
    return FALSE;
  }
  return TRUE;
}
