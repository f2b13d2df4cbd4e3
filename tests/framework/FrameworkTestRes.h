#pragma once

#define IDD_PAGE 101
#define IDD_POPUP_PAGE 102
#define IDD_MODAL 103
#define IDD_MODAL_NOFONT 104

#define IDC_NAME 1001
#define IDC_COUNT 1002
#define IDC_ENABLE 1003
#define IDC_DEVICE 1004
#define IDC_MODE 1005
#define IDC_LEVEL 1006
