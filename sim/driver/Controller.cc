// The miniport-driver model of one controller: control codes, request frames
// assembled from written chunks, reply bytes handed out read by read, and the
// faults that make it misbehave on purpose.
#include <algorithm>
#include <cstring>
#include <sstream>

#include "sim/Simulator.h"
#include "sim/firmware/Firmware.h"
#include "sim/firmware/Frame.h"
#include "sim/model/Records.h"

namespace kavsim {
namespace {

constexpr char kSignature[8] = {'K', 'A', 'V', 'M', 'S', 'R', 0, 0};
constexpr int kDelayedReads = 3;        // empty reads before a delayed reply shows
constexpr size_t kFirstPiece = 3;       // a split reply: too short for the frame length
constexpr size_t kLaterPieces = 97;
constexpr size_t kOversize = 0x30000 + 16;  // more than the host's receive buffer

uint32_t Get32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

Controller::Controller(int port, std::unique_ptr<FirmwareState> state)
    : port_(port), state_(std::move(state)), firmware_(std::make_unique<Firmware>(*state_)) {}

Controller::~Controller() = default;

bool Controller::HandleControl(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                               size_t* returned) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (returned != nullptr) *returned = 0;
  return ControlLocked(in, in_size, out, out_size, returned);
}

bool Controller::ControlLocked(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size,
                               size_t* returned) {
  using namespace miniport;
  if (faults_[static_cast<int>(Fault::kFailControl)]) return false;
  if (in == nullptr || out == nullptr || in_size < kHeaderLength || out_size < kHeaderLength) {
    return false;
  }
  if (Get32(in) != kHeaderLength || std::memcmp(in + 4, kSignature, 8) != 0) return false;
  const uint32_t code = Get32(in + 16);
  const uint32_t length = Get32(in + 24);

  // The answer starts as a copy of the request block (in and out may be one block).
  size_t block = std::min(out_size, kBlockSize);
  std::vector<uint8_t> answer(in, in + std::min(in_size, block));
  answer.resize(block, 0);
  uint8_t* hdr = answer.data();

  switch (code) {
    case kProbe:
      Put32(hdr + 20, kProbeAnswer);
      Put32(hdr + 24, 0);
      block = kHeaderLength;
      break;
    case kWrite: {
      bool fits = length <= kWindow && in_size >= kHeaderLength + length;
      if (!fits || faults_[static_cast<int>(Fault::kRefuseWrites)]) {
        Put32(hdr + 20, 0);
      } else {
        AcceptBytes(in + kHeaderLength, length);
        Put32(hdr + 20, kWriteAccepted);
      }
      break;
    }
    case kRead: {
      size_t capacity = std::min(kWindow, block - kHeaderLength);
      size_t n = TakeReplyBytes(hdr + kHeaderLength, capacity);
      Put32(hdr + 20, 1);
      Put32(hdr + 24, static_cast<uint32_t>(n));
      break;
    }
    case kPrepareFirst:
      // A new exchange begins: what an earlier, abandoned one left is dropped.
      request_.clear();
      reply_.clear();
      reply_offset_ = 0;
      firmware_->web_request().clear();
      Put32(hdr + 20, 1);
      break;
    case kPrepareSecond:
      Put32(hdr + 20, 1);
      break;
    default:
      return false;
  }
  std::memcpy(out, answer.data(), block);
  if (returned != nullptr) *returned = block;
  return true;
}

void Controller::AcceptBytes(const uint8_t* data, size_t size) {
  request_.insert(request_.end(), data, data + size);
  while (!request_.empty()) {
    size_t total = 0;
    FrameCheck check = CheckRequestFrame(request_.data(), request_.size(), &total);
    if (check == FrameCheck::kNeedMore) return;
    if (check == FrameCheck::kBadHeader) {
      // Nothing to resynchronise on: drop what came and tell the host.
      request_.clear();
      QueueReply(StatusReply(letter::kBadPayload));
      return;
    }
    RequestFrame frame = ParseRequestFrame(request_.data(), total);
    request_.erase(request_.begin(), request_.begin() + static_cast<std::ptrdiff_t>(total));
    if (!frame.checksum_ok) {
      QueueReply(StatusReply(letter::kBadChecksum));
      continue;
    }
    if (faults_[static_cast<int>(Fault::kStatusLetter)]) {
      QueueReply(StatusReply(fault_letter_));
      continue;
    }
    Answer a = firmware_->Execute(frame.code, frame.payload);
    if (frame.code == 26 && faults_[static_cast<int>(Fault::kMoveEventPointer)]) {
      firmware_->LogEvent(5, 39, 0, "");
    }
    switch (a.kind) {
      case Answer::Kind::kData:
        QueueReply(DataReply(a.bytes));
        break;
      case Answer::Kind::kStatus:
        QueueReply(StatusReply(a.status));
        break;
      case Answer::Kind::kFrame:
        QueueReply(std::move(a.bytes));
        break;
      case Answer::Kind::kNothing:
        break;
    }
  }
}

void Controller::QueueReply(std::vector<uint8_t> reply) {
  if (faults_[static_cast<int>(Fault::kNoAnswer)]) return;
  if (faults_[static_cast<int>(Fault::kOversizeReply)]) {
    std::string big = "HTTP/1.0 200 OK\r\n\r\n";
    big.resize(kOversize, 'x');
    reply = ExtendedReply(big);
  }
  if (faults_[static_cast<int>(Fault::kBadChecksum)] && !reply.empty()) {
    reply.back() = static_cast<uint8_t>(reply.back() + 1);
  }
  if (faults_[static_cast<int>(Fault::kBadHeader)] && reply.size() > 1) {
    reply[1] = 0x02;
  }
  if (reply_offset_ >= reply_.size()) {
    reply_.clear();
    reply_offset_ = 0;
    first_piece_ = true;
  }
  reply_.insert(reply_.end(), reply.begin(), reply.end());
  if (faults_[static_cast<int>(Fault::kDelayReply)]) empty_reads_left_ = kDelayedReads;
}

size_t Controller::TakeReplyBytes(uint8_t* window, size_t capacity) {
  size_t pending = reply_.size() - reply_offset_;
  if (pending == 0) return 0;
  if (empty_reads_left_ > 0) {
    --empty_reads_left_;
    return 0;
  }
  size_t n = std::min(pending, capacity);
  if (faults_[static_cast<int>(Fault::kSplitReply)]) {
    n = std::min(n, first_piece_ ? kFirstPiece : kLaterPieces);
    first_piece_ = false;
  }
  std::memcpy(window, reply_.data() + reply_offset_, n);
  reply_offset_ += n;
  if (reply_offset_ == reply_.size()) {
    reply_.clear();
    reply_offset_ = 0;
    first_piece_ = true;
  }
  return n;
}

void Controller::AppendEvent(int type, int code, int byte2, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  firmware_->LogEvent(type, code, byte2, name);
}

bool Controller::SetFault(const std::string& name, bool on) {
  Fault f;
  if (!ParseFault(name, &f)) return false;
  SetFault(f, on);
  return true;
}

void Controller::SetFault(Fault fault, bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[static_cast<int>(fault)] = on;
  if (!on && fault == Fault::kDelayReply) empty_reads_left_ = 0;
}

bool Controller::HasFault(Fault fault) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_[static_cast<int>(fault)];
}

bool Controller::SetFaultLetter(char letter) {
  if (letter < 'A' || letter > 'T') return false;
  std::lock_guard<std::mutex> lock(mutex_);
  fault_letter_ = letter;
  return true;
}

uint8_t Controller::EventPointer() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_->events.Pointer();
}

uint32_t Controller::EventSlots() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_->events.Slots();
}

std::vector<uint8_t> Controller::EventPage(int page) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> out(kEventPageSize, 0);
  if (page < 0 || !state_->events.Page(static_cast<uint32_t>(page), out.data())) out.clear();
  return out;
}

void Controller::ClearEvents() {
  std::lock_guard<std::mutex> lock(mutex_);
  state_->events.Clear();
}

std::vector<uint8_t> Controller::SystemInfo() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return SystemInfoRecord(*state_);
}

std::vector<uint8_t> Controller::DataArea() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_->data_area;
}

std::string Controller::LastText(int command) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = state_->texts.find(command);
  return it == state_->texts.end() ? std::string() : it->second;
}

size_t Controller::PendingReplyBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reply_.size() - reply_offset_;
}

std::string Controller::Describe() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const FirmwareState& s = *state_;
  std::ostringstream o;
  o << "port " << port_ << "\n";
  o << "subsystem: " << SubsystemName(s) << "\n";
  o << "model: " << s.model << "  serial: " << s.serial << "\n";
  o << "firmware: " << s.firmware_version << "  kind: " << s.kind << "\n";
  o << "events: " << s.events.Slots() << " slots, pointer " << int{s.events.Pointer()} << ", "
    << s.events.Logged() << " logged\n";
  o << "raid sets: " << s.raid_sets.size() << "  volume sets: " << s.volumes.size()
    << "  disks: " << s.disks.size() << "\n";
  static const char* const kRaidStates[] = {"?", "normal", "degraded", "rebuilding", "failed"};
  static const char* const kVolumeStates[] = {"?",            "normal",     "degraded",  "failed",
                                              "initializing", "rebuilding", "migrating", "checking"};
  auto name = [](const char* const* names, size_t count, int v) {
    return v > 0 && static_cast<size_t>(v) < count ? names[v] : "?";
  };
  for (const RaidSet& r : s.raid_sets) {
    o << "  raid set \"" << r.name << "\": " << name(kRaidStates, std::size(kRaidStates), static_cast<int>(r.state)) << ", "
      << r.members.size() << " members\n";
  }
  for (const VolumeSet& v : s.volumes) {
    o << "  volume set \"" << v.name << "\": " << name(kVolumeStates, std::size(kVolumeStates), static_cast<int>(v.state))
      << ", raid level " << v.level << ", " << v.capacity_mb << " MB\n";
  }
  o << "faults:";
  bool any = false;
  for (int i = 0; i < kFaultCount; ++i) {
    if (!faults_[i]) continue;
    o << " " << FaultName(static_cast<Fault>(i));
    if (static_cast<Fault>(i) == Fault::kStatusLetter) o << "(" << fault_letter_ << ")";
    any = true;
  }
  o << (any ? "\n" : " none\n");
  return o.str();
}

}  // namespace kavsim
