// CreateObject: the tag dispatcher that turns one decoded element into a
// value object. Every tag gives an object; unknown tags a SNMPUnknownObject.
#pragma once

#include <memory>

#include "library/snmp/BerElement.h"
#include "library/snmp/SNMPObject.h"

std::unique_ptr<SNMPObject> CreateObject(const BerElement& element);
