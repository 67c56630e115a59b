// Resource ids, shared by the resource script and the code. The dialog templates and the logo are
// found by these numbers, and the three mode buttons' ids are also the stored mode values: changing
// any of them breaks the built module's resources or every saved configuration record.
#pragma once

#define IDD_ABOUT 101
#define IDD_CONTROL 102
#define IDB_LOGO 102

#define IDC_WHOLE_IMAGE 1010
#define IDC_MTL_CHANNEL 1011
#define IDC_OBJ_CHANNEL 1012
#define IDC_MTL_ID_EDIT 1026
#define IDC_OBJ_ID_EDIT 1027
#define IDC_MTL_ID_SPIN 1046
#define IDC_OBJ_ID_SPIN 1047
