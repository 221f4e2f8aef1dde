// Slots of the operation table whose commands are not built yet (raid set and
// volume set configuration, pass-through disks, parameters, monitor units).
// Each answers "not available" until its family lands.
#pragma once

namespace kavcmd {

// The single list of the slots still to come; remove a slot here when its
// operation is built.
inline constexpr int kSlotsStillToCome[] = {
    34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56,
    57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79,
    80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95, 96, 97, 98,
};

}  // namespace kavcmd
