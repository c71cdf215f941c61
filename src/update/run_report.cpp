#include "update/run_report.h"

namespace zet {

RunReport g_RunReport;

}  // namespace zet
