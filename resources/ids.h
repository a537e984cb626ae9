/* Resource and control ids, named once. Included by the resource script and by the program. */
#ifndef SONDREL_RESOURCES_IDS_H
#define SONDREL_RESOURCES_IDS_H

/* Resources. */
#define IDD_MAIN 201
#define IDD_VIEWER 300
#define IDM_EXPORT 14218
#define IDM_IMPORT 17854
#define IDI_MAIN 102
#define IDI_VIEWER 105
#define IDC_LINK_CURSOR 103
#define IDB_SORT_ARROWS 104
#define IDV_VERSION 1

/* Main window controls. */
#define IDC_CONTACT_LINK 6
#define IDC_HINT_LABEL 215
#define IDC_RESULT_LIST 217
#define IDC_EXPORT 218
#define IDC_LAUNCH 219
#define IDC_PROGRESS 232
#define IDC_RADIO_LETTERS 234
#define IDC_SEARCH_TEXT 235
#define IDC_SEARCH_LABEL 236
#define IDC_SEARCH_GROUP 239
#define IDC_RADIO_PRESCRIPTIONS 240
#define IDC_RADIO_FORMS 241
#define IDC_RADIO_FORM_TEXT 242
#define IDC_FORM_CHOOSER 244
#define IDC_OPEN 245
#define IDC_IMPORT 246
#define IDC_STATUS_BAR 11714

/* Commands. */
#define IDM_EXPORT_TEXT 13285
#define IDM_EXPORT_EXCEL 13601
#define IDM_EXPORT_HTML 13602
#define IDM_IMPORT_ADD 1011
#define IDM_IMPORT_SUBTRACT 1021
#define IDCMD_CATALOGUE_READY 5436

/* Viewer controls. */
#define IDC_VIEWER_DOCUMENTS 301
#define IDC_VIEWER_FORMULON 219

/* Program version. */
#define SONDREL_VERSION_MAJOR 4
#define SONDREL_VERSION_MINOR 0
#define SONDREL_VERSION_BUILD 733

#endif
