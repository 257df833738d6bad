// The passage driver: one complete report for the inputs of the record.
#pragma once

namespace zefrin {

// Writes the report for the shared record (length in cm) to the terminal and
// the log: kinematics, page control, header and composition, then multiple
// scattering, energy loss and nuclear interaction. Changes only A of the record.
void setup();

}  // namespace zefrin
