/* Resource and command numbers shared by varnel.rc and the program. */
#pragma once

#define IDR_MAINFRAME 128      /* the main window's icon */
#define IDI_TRAY 134           /* the notification-area icon */
#define IDD_ERROR 250          /* the error window */
#define IDC_ERROR_TEXT 1000    /* its text */
#define IDD_CLOSING_CONNECTION 117 /* "Please wait while the connection is closed." */
#define IDC_CLOSING_PROGRESS 1001  /* its progress control */

/* Commands */
#define ID_APP_EXIT_CMD 32771         /* Exit */
#define ID_CLOSE_WINDOW 32816         /* Close Window */
#define ID_SCAN_NOW 32892             /* Scan Now */
#define ID_STOP_SCAN 32893            /* Stop Scan */
#define ID_ALREADY_RUNNING 32879      /* posted by a second instance */
