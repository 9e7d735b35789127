/* Resource and command numbers shared by varnel.rc and the program. */
#pragma once

#define IDR_MAINFRAME 128      /* the main window's icon */
#define IDI_TRAY 134           /* the notification-area icon */
#define IDD_ERROR 250          /* the error window */
#define IDC_ERROR_TEXT 1000    /* its text */
#define IDD_CLOSING_CONNECTION 117 /* "Please wait while the connection is closed." */
#define IDC_CLOSING_PROGRESS 1001  /* its progress control */
#define IDD_DOWNLOAD_MANAGER 192   /* "Varnel Download Manager" */
#define IDC_DL_LIST 1100           /* "Current Transfers:" */
#define IDC_DL_OPTIONS 1101        /* "&Options..." */
#define IDC_DL_RESTART 1109        /* "&Restart" */
#define IDC_DL_STOP_ALL 1111       /* "Stop All" */
#define IDC_DL_STOP 1112           /* "&Stop" */
#define IDC_DL_LAUNCH 1113         /* "&Launch File" */
#define IDC_DL_SHOW_LOCATION 1114  /* "Sho&w Location" */
#define IDC_DL_NAME 1120           /* the detail fields */
#define IDC_DL_TIME_LEFT 1121
#define IDC_DL_RATE 1122
#define IDC_DL_FILE_TO 1123
#define IDC_DL_STATISTICS 1124
#define IDC_DL_PROGRESS 1125

/* Commands */
#define ID_APP_EXIT_CMD 32771         /* Exit */
#define ID_CLOSE_WINDOW 32816         /* Close Window */
#define ID_SCAN_NOW 32892             /* Scan Now */
#define ID_STOP_SCAN 32893            /* Stop Scan */
#define ID_ALREADY_RUNNING 32879      /* posted by a second instance */
