// Builds SNMPv1 requests and reads answers with Net-SNMP, for tests of the
// firmware's SNMP engine.
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kavsim::testing {

struct SnmpAnswer {
  bool parsed = false;
  int command = 0;
  long reqid = 0;
  long errstat = 0;
  long errindex = 0;
  std::string community;
  struct Binding {
    std::vector<uint32_t> name;
    int type = 0;
    long integer = 0;
    std::string text;
  };
  std::vector<Binding> bindings;
};

inline std::vector<uint8_t> BuildSnmpRequest(int command, const std::vector<std::vector<uint32_t>>& names,
                                             long reqid = 1, const std::string& community = "public") {
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = SNMP_VERSION_1;
  netsnmp_pdu* pdu = snmp_pdu_create(command);
  pdu->version = SNMP_VERSION_1;
  pdu->reqid = reqid;
  pdu->community = static_cast<u_char*>(malloc(community.size() + 1));
  std::memcpy(pdu->community, community.c_str(), community.size() + 1);
  pdu->community_len = community.size();
  for (const auto& n : names) {
    std::vector<oid> o(n.begin(), n.end());
    if (command == SNMP_MSG_SET) {
      long zero = 0;
      snmp_pdu_add_variable(pdu, o.data(), o.size(), ASN_INTEGER,
                            reinterpret_cast<const u_char*>(&zero), sizeof zero);
    } else {
      snmp_add_null_var(pdu, o.data(), o.size());
    }
  }
  size_t len = 1500, offset = 0;
  u_char* buf = static_cast<u_char*>(malloc(len));
  std::vector<uint8_t> out;
  if (snmp_build(&buf, &len, &offset, &session, pdu) == 0) {
    const u_char* start = buf;
    if (netsnmp_ds_get_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_REVERSE_ENCODE)) {
      start = buf + len - offset;
    }
    out.assign(start, start + offset);
  }
  free(buf);
  snmp_free_pdu(pdu);
  return out;
}

inline SnmpAnswer ParseSnmpAnswer(const std::vector<uint8_t>& bytes) {
  SnmpAnswer a;
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = SNMP_VERSION_1;
  auto* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
  std::vector<u_char> data(bytes.begin(), bytes.end());
  if (!data.empty() && snmp_parse(nullptr, &session, pdu, data.data(), data.size()) == 0) {
    a.parsed = true;
    a.command = pdu->command;
    a.reqid = pdu->reqid;
    a.errstat = pdu->errstat;
    a.errindex = pdu->errindex;
    a.community.assign(reinterpret_cast<char*>(pdu->community), pdu->community_len);
    for (auto* v = pdu->variables; v != nullptr; v = v->next_variable) {
      SnmpAnswer::Binding b;
      b.name.assign(v->name, v->name + v->name_length);
      b.type = v->type;
      if (v->type == ASN_INTEGER) b.integer = *v->val.integer;
      if (v->type == ASN_OCTET_STR) b.text.assign(reinterpret_cast<char*>(v->val.string), v->val_len);
      a.bindings.push_back(b);
    }
  }
  snmp_free_pdu(pdu);
  return a;
}

}  // namespace kavsim::testing
