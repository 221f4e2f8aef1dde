// Command 22: the firmware's web server. A request arrives as a stream of
// command-22 frames (pieces of up to 1024 bytes); the answer goes out once the
// HTTP request is complete, in the extended length form.
#include <cstdlib>
#include <string>

#include "sim/firmware/Firmware.h"
#include "sim/firmware/Frame.h"

namespace kavsim {
namespace {

constexpr size_t kPiece = 1024;
constexpr size_t kMaxRequest = 64 * 1024;

std::string Response(int code, const char* reason, const std::string& body, bool head) {
  std::string r = "HTTP/1.0 " + std::to_string(code) + " " + reason + "\r\n";
  r += "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  r += "Connection: close\r\n\r\n";
  if (!head) r += body;
  return r;
}

std::string StatusPage(const FirmwareState& s) {
  std::string body = "<html><head><title>" + s.model + "</title></head><body><h1>" + s.model +
                     "</h1><p>Firmware " + s.firmware_version + "</p><table>";
  for (const RaidSet& r : s.raid_sets) body += "<tr><td>" + r.name + "</td></tr>";
  for (const VolumeSet& v : s.volumes) body += "<tr><td>" + v.name + "</td></tr>";
  return body + "</table></body></html>\n";
}

// True once the head is complete and the body as long as Content-Length says.
bool RequestComplete(const std::string& req) {
  size_t head_end = req.find("\r\n\r\n");
  if (head_end == std::string::npos) return false;
  size_t body = req.size() - (head_end + 4);
  size_t at = req.find("Content-Length:");
  if (at == std::string::npos || at > head_end) return true;
  long want = std::strtol(req.c_str() + at + 15, nullptr, 10);
  return want <= 0 || body >= static_cast<size_t>(want);
}

std::string Serve(const FirmwareState& s, const std::string& req) {
  size_t sp1 = req.find(' ');
  size_t sp2 = sp1 == std::string::npos ? sp1 : req.find(' ', sp1 + 1);
  size_t eol = req.find("\r\n");
  if (sp1 == std::string::npos || sp2 == std::string::npos || sp2 > eol) {
    return Response(400, "Bad Request", "<html><body>Bad Request</body></html>\n", false);
  }
  std::string method = req.substr(0, sp1);
  std::string path = req.substr(sp1 + 1, sp2 - sp1 - 1);
  bool head = method == "HEAD";
  if (method != "GET" && method != "POST" && !head) {
    return Response(501, "Not Implemented", "<html><body>Not Implemented</body></html>\n", head);
  }
  auto it = s.web_pages.find(path);
  if (it != s.web_pages.end()) return Response(200, "OK", it->second, head);
  if (path == "/" || path == "/index.html") return Response(200, "OK", StatusPage(s), head);
  return Response(404, "Not Found", "<html><body>Not Found</body></html>\n", head);
}

Answer WebPiece(Firmware& fw, Payload p) {
  std::string& req = fw.web_request();
  req.append(reinterpret_cast<const char*>(p.data()), p.size());
  if (req.size() > kMaxRequest) {
    req.clear();
    return Answer::Frame(ExtendedReply(
        Response(413, "Request Entity Too Large", "<html><body>Too Large</body></html>\n", false)));
  }
  // A short piece is the last one, complete or not.
  if (!RequestComplete(req) && p.size() >= kPiece) return Answer::Nothing();
  std::string response = Serve(fw.state(), req);
  req.clear();
  return Answer::Frame(ExtendedReply(response));
}

}  // namespace

void RegisterWebCommands(CommandRegistry& r) { r.Register(22, WebPiece, /*jbod=*/true); }

}  // namespace kavsim
