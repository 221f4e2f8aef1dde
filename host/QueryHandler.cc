// Serving the agent's view through Net-SNMP.
//
// The agent answers by rewriting the bindings it is given. Three answers are
// not values: a GET binding left as it came (noError, value still NULL) is no
// such object; a GETNEXT answer that is not strictly after the request or that
// leaves the view is not ours, so the request is left for Net-SNMP to carry on
// past the view; a nonzero error status is the request's error status, with
// the agent's index naming the binding.
#include "host/QueryHandler.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <vector>

#include "host/AgentModule.h"
#include "host/HostLog.h"
#include "host/NetSnmpConvert.h"

namespace kavhost {
namespace {

constexpr uint8_t kAgentGet = 0xA0;
constexpr uint8_t kAgentGetNext = 0xA1;

int AgentStatusToSnmp(int32_t status) {
  // Error statuses an SNMPv2 response may carry; anything else is a failure.
  return status >= SNMP_ERR_TOOBIG && status <= SNMP_ERR_INCONSISTENTNAME ? status
                                                                          : SNMP_ERR_GENERR;
}

void AnswerGet(netsnmp_agent_request_info* reqinfo, netsnmp_request_info* request,
               const OidVector& asked, const HostBinding& answer) {
  if (!answer.value_valid) {
    LogError("GET %s: the agent's value cannot be sent", OidToText(asked).c_str());
    netsnmp_set_request_error(reqinfo, request, SNMP_ERR_GENERR);
    return;
  }
  if (answer.value.type == kTypeNull || CompareOids(answer.name, asked) != 0) {
    LogDebug("GET %s: no such object", OidToText(asked).c_str());
    netsnmp_set_request_error(reqinfo, request, SNMP_NOSUCHINSTANCE);
    return;
  }
  if (!SetNetSnmpValue(request->requestvb, answer.value)) {
    netsnmp_set_request_error(reqinfo, request, SNMP_ERR_GENERR);
    return;
  }
  LogDebug("GET %s: answered", OidToText(asked).c_str());
}

void AnswerGetNext(netsnmp_agent_request_info* reqinfo, netsnmp_request_info* request,
                   const OidVector& view, const OidVector& asked, const HostBinding& answer) {
  bool ours = answer.value.type != kTypeNull && CompareOids(answer.name, asked) > 0 &&
              answer.name.size() > view.size() && OidHasPrefix(answer.name, view);
  if (!ours) {
    // Left unanswered: Net-SNMP moves on to whatever follows the view.
    LogDebug("GETNEXT %s: not ours (%s)", OidToText(asked).c_str(),
             OidToText(answer.name).c_str());
    return;
  }
  if (!answer.value_valid) {
    LogError("GETNEXT %s: the agent's value for %s cannot be sent", OidToText(asked).c_str(),
             OidToText(answer.name).c_str());
    netsnmp_set_request_error(reqinfo, request, SNMP_ERR_GENERR);
    return;
  }
  std::vector<oid> name = ToNetSnmpOid(answer.name);
  if (snmp_set_var_objid(request->requestvb, name.data(), name.size()) != 0 ||
      !SetNetSnmpValue(request->requestvb, answer.value)) {
    netsnmp_set_request_error(reqinfo, request, SNMP_ERR_GENERR);
    return;
  }
  LogDebug("GETNEXT %s: %s", OidToText(asked).c_str(), OidToText(answer.name).c_str());
}

int HandleRequests(netsnmp_mib_handler* handler, netsnmp_handler_registration* /*reginfo*/,
                   netsnmp_agent_request_info* reqinfo, netsnmp_request_info* requests) {
  AgentModule* agent = static_cast<AgentModule*>(handler->myvoid);
  if (reqinfo->mode != MODE_GET && reqinfo->mode != MODE_GETNEXT) {
    // The view is read-only: writes are refused here and never reach the agent.
    for (netsnmp_request_info* r = requests; r != nullptr; r = r->next)
      netsnmp_set_request_error(reqinfo, r, SNMP_ERR_NOTWRITABLE);
    return SNMP_ERR_NOERROR;
  }
  const bool get = reqinfo->mode == MODE_GET;

  std::vector<netsnmp_request_info*> pending;
  std::vector<OidVector> names;
  for (netsnmp_request_info* r = requests; r != nullptr; r = r->next) {
    if (r->processed) continue;
    netsnmp_variable_list* var = r->requestvb;
    if (!FitsAgentOid(var->name, var->name_length)) {
      // A sub-identifier beyond 32 bits names nothing the agent can serve.
      if (get) netsnmp_set_request_error(reqinfo, r, SNMP_NOSUCHINSTANCE);
      continue;
    }
    pending.push_back(r);
    names.push_back(FromNetSnmpOid(var->name, var->name_length));
  }
  if (pending.empty()) return SNMP_ERR_NOERROR;

  QueryResult result = agent->Query(get ? kAgentGet : kAgentGetNext, names);
  if (result.error_status != 0) {
    size_t failing = 0;
    if (result.error_index >= 1 && static_cast<size_t>(result.error_index) <= pending.size())
      failing = static_cast<size_t>(result.error_index) - 1;
    LogDebug("%s %s: error status %d at binding %d", get ? "GET" : "GETNEXT",
             OidToText(names[failing]).c_str(), result.error_status, result.error_index);
    netsnmp_set_request_error(reqinfo, pending[failing], AgentStatusToSnmp(result.error_status));
    return SNMP_ERR_NOERROR;
  }
  for (size_t i = 0; i < pending.size(); ++i) {
    if (get)
      AnswerGet(reqinfo, pending[i], names[i], result.bindings[i]);
    else
      AnswerGetNext(reqinfo, pending[i], agent->view(), names[i], result.bindings[i]);
  }
  return SNMP_ERR_NOERROR;
}

}  // namespace

bool RegisterQueryHandler(AgentModule* agent, std::string* error) {
  std::vector<oid> view = ToNetSnmpOid(agent->view());
  netsnmp_handler_registration* registration = netsnmp_create_handler_registration(
      "kavsnmpd-agent", HandleRequests, view.data(), view.size(), HANDLER_CAN_RONLY);
  if (registration == nullptr) {
    *error = "cannot create the handler for the agent's view";
    return false;
  }
  registration->handler->myvoid = agent;
  int rc = netsnmp_register_handler(registration);
  if (rc != MIB_REGISTERED_OK) {
    *error = "cannot register the agent's view " + OidToText(agent->view()) + " (code " +
             std::to_string(rc) + ")";
    return false;
  }
  return true;
}

}  // namespace kavhost
