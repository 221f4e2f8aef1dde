// SNMP engine of the firmware model. Decoding and encoding are Net-SNMP's, so
// that the library's own codec is checked against an independent one.
#include "sim/snmp/SnmpEngine.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "sim/snmp/MibView.h"

namespace kavsim {
namespace {

// Net-SNMP keeps statistics and error state in globals; the simulator's own
// calls are serialised here (another Net-SNMP user in the same process is not).
std::mutex& NetSnmpMutex() {
  static std::mutex m;
  return m;
}

constexpr size_t kMaxBindings = 16;

struct PduDeleter {
  void operator()(netsnmp_pdu* p) const { snmp_free_pdu(p); }
};
using PduPtr = std::unique_ptr<netsnmp_pdu, PduDeleter>;

OidPath ToPath(const oid* name, size_t length) {
  OidPath p;
  for (size_t i = 0; i < length; ++i) p.push_back(static_cast<uint32_t>(name[i]));
  return p;
}

void SetValue(netsnmp_pdu* pdu, const MibObject& o) {
  std::vector<oid> name(o.name.begin(), o.name.end());
  if (o.is_integer) {
    long v = o.integer;
    snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_INTEGER,
                          reinterpret_cast<const u_char*>(&v), sizeof v);
  } else {
    snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OCTET_STR,
                          reinterpret_cast<const u_char*>(o.text.data()), o.text.size());
  }
}

// Copies a request binding unchanged into a response (error answers echo them).
void CopyBinding(netsnmp_pdu* pdu, const netsnmp_variable_list* v) {
  snmp_pdu_add_variable(pdu, v->name, v->name_length, v->type, v->val.string, v->val_len);
}

bool Encode(netsnmp_session& session, netsnmp_pdu* pdu, std::vector<uint8_t>* out) {
  size_t pkt_len = 1500, offset = 0;
  u_char* pkt = static_cast<u_char*>(malloc(pkt_len));
  if (pkt == nullptr) return false;
  int rc = snmp_build(&pkt, &pkt_len, &offset, &session, pdu);
  bool ok = rc == 0 && offset > 0;
  if (ok) {
    // Reverse encoding leaves the message at the end of the buffer.
    const u_char* start = pkt;
    if (netsnmp_ds_get_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_REVERSE_ENCODE)) {
      start = pkt + pkt_len - offset;
    }
    out->assign(start, start + offset);
  }
  free(pkt);
  return ok;
}

}  // namespace

SnmpResult AnswerSnmp(const FirmwareState& state, const uint8_t* request, size_t size) {
  SnmpResult result;
  if (request == nullptr || size == 0 || size > 1500) return result;
  std::lock_guard<std::mutex> lock(NetSnmpMutex());

  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = SNMP_VERSION_1;

  PduPtr req(static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu))));
  if (!req) return result;
  std::vector<u_char> data(request, request + size);
  if (snmp_parse(nullptr, &session, req.get(), data.data(), data.size()) != 0) return result;
  if (req->version != SNMP_VERSION_1) return result;

  std::string community(reinterpret_cast<const char*>(req->community), req->community_len);
  if (!state.community.empty() && community != state.community) {
    result.outcome = SnmpOutcome::kWrongCommunity;
    return result;
  }

  // Not snmp_pdu_create: that draws a request id from a process-wide counter.
  PduPtr resp(static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu))));
  if (!resp) return result;
  resp->command = SNMP_MSG_RESPONSE;
  resp->reqid = req->reqid;
  resp->version = SNMP_VERSION_1;
  resp->securityModel = SNMP_DEFAULT_SECMODEL;
  resp->community = static_cast<u_char*>(malloc(community.size() + 1));
  if (resp->community == nullptr) return result;
  std::memcpy(resp->community, community.data(), community.size());
  resp->community_len = community.size();

  std::vector<MibObject> view = BuildMibView(state);
  bool get = req->command == SNMP_MSG_GET;
  bool getnext = req->command == SNMP_MSG_GETNEXT;
  long error_status = SNMP_ERR_NOERROR;
  long error_index = 0;
  size_t index = 0;
  for (netsnmp_variable_list* v = req->variables; v != nullptr; v = v->next_variable) {
    ++index;
    if (index > kMaxBindings) {
      error_status = SNMP_ERR_TOOBIG;
      error_index = 0;
      break;
    }
    const MibObject* found = nullptr;
    if (get) found = FindExact(view, ToPath(v->name, v->name_length));
    if (getnext) found = FindNext(view, ToPath(v->name, v->name_length));
    if (found == nullptr) {
      // SNMPv1: a missing object, the end of the MIB, or a request type the
      // engine does not serve (nothing here is writable).
      error_status = SNMP_ERR_NOSUCHNAME;
      error_index = static_cast<long>(index);
      break;
    }
    SetValue(resp.get(), *found);
  }

  if (error_status != SNMP_ERR_NOERROR) {
    // An error answer carries the request's bindings unchanged.
    snmp_free_varbind(resp->variables);
    resp->variables = nullptr;
    if (error_status != SNMP_ERR_TOOBIG) {
      for (netsnmp_variable_list* v = req->variables; v != nullptr; v = v->next_variable) {
        CopyBinding(resp.get(), v);
      }
    }
  }
  resp->errstat = error_status;
  resp->errindex = error_index;

  std::vector<uint8_t> encoded;
  if (!Encode(session, resp.get(), &encoded)) return result;
  if (encoded.size() > kMaxSnmpResponse) {
    snmp_free_varbind(resp->variables);
    resp->variables = nullptr;
    resp->errstat = SNMP_ERR_TOOBIG;
    resp->errindex = 0;
    if (!Encode(session, resp.get(), &encoded)) return result;
  }
  result.outcome = SnmpOutcome::kAnswered;
  result.response = std::move(encoded);
  return result;
}

}  // namespace kavsim
