// CreateObject: the tag dispatcher that turns one decoded element into a
// value object. Every tag gives an object; unknown tags a SNMPUnknownObject.
#pragma once

#include <memory>

#include "library/snmp/BerElement.h"
#include "library/snmp/SNMPObject.h"

// depth: how many containers enclose the element (for the decoder's nesting bound).
std::unique_ptr<SNMPObject> CreateObject(const BerElement& element, int depth = 0);
