#pragma once
// CXPEdit: the folder fields of the main dialog. For now the stock edit;
// the flat frame, hover tracking and the localised context menu come here.

#include "ui/framework/controls.h"

namespace zet {

class CXPEdit : public CEdit {};

}  // namespace zet
