// Compiled only by the layers_refuse_upward_includes test, which expects this
// include to be refused: settings sit below the window models.
#include "ui/user_list.h"
