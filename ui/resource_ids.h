// Resource ids, shared by the resource script and the code. The dialog templates and the logo are
// found by these numbers: changing any of them breaks the built module's resources. The three mode
// buttons' ids are the stored mode values.
#pragma once

#include "deepglass_interface.h"

#define IDD_ABOUT 101
#define IDD_CONTROL 102
#define IDB_LOGO 102

#define IDC_WHOLE_IMAGE MODE_WHOLE_IMAGE
#define IDC_MTL_CHANNEL MODE_MATERIAL_ID
#define IDC_OBJ_CHANNEL MODE_OBJECT_ID
#define IDC_MTL_ID_EDIT 1026
#define IDC_OBJ_ID_EDIT 1027
#define IDC_MTL_ID_SPIN 1046
#define IDC_OBJ_ID_SPIN 1047
