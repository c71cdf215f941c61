#pragma once
// CXPButton: the push buttons of the program's dialogs. For now the stock
// button; the flat look draws itself here (owner-draw, hover tracking).

#include "ui/framework/controls.h"

namespace zet {

class CXPButton : public CButton {};

}  // namespace zet
