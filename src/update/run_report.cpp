#include "update/run_report.h"

#include "update/run_state.h"

namespace zet {

RunReport g_RunReport;

}  // namespace zet
