// Controller discovery at start-up: fills the controller table from the SCSI
// ports that answer the controller driver's probe.
#pragma once

// Reads the settings, probes ports 0 to 15 in order and attaches up to four
// table entries; marks every event already in each log as seen.
void DiscoverControllers();
