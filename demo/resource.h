// Resource and command identifiers of Maplet1.
#ifndef MAPLET1_RESOURCE_H
#define MAPLET1_RESOURCE_H

#define IDD_ABOUTBOX 100
#define IDR_MAINFRAME 128
#define IDC_ABOUT_ICON 1000

// Commands. The numbers are the ones a client of the demo's menu expects.
#define ID_EDIT_REGISTER 32771
#define ID_EDIT_UNREGISTER 32772
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393

// Status-bar texts.
#define IDS_READY 59136
#define IDS_INDICATOR_CAPS 59137
#define IDS_INDICATOR_NUM 59138
#define IDS_INDICATOR_SCRL 59139

#endif
