/* Resource and command numbers shared by varnel.rc and the program. */
#pragma once

#define IDR_MAINFRAME 128      /* the main window's icon */
#define IDI_TRAY 134           /* the notification-area icon */
#define IDR_TRAYMENU 134       /* its menu */
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
#define IDD_ITEM_FEEDBACK 170   /* the report of a wrongly identified item */
#define IDC_FB_ICON 1180        /* the item's icon */
#define IDC_FB_NAME 1181        /* its display name */
#define IDC_FB_EXPLANATION 1182 /* what the report is for */
#define IDC_FB_REASON 1183      /* "&Reason:" */
#define IDC_FB_COMMENTS 1184    /* "&Comments:" */
#define IDC_FB_STATUS 1185      /* sending, sent or kept */

/* Commands */
#define ID_APP_EXIT_CMD 32771         /* Exit */
#define ID_CLOSE_WINDOW 32816         /* Close Window */
#define ID_SCAN_NOW 32892             /* Scan Now */
#define ID_STOP_SCAN 32893            /* Stop Scan */
#define ID_ALREADY_RUNNING 32879      /* posted by a second instance */

/* The frame's other commands (menus 128, 151, 218, 219, 227, 228, 234 and the toolbar) */
#define ID_UPDATES 32774             /* Updates (tray) */
#define ID_MY_PAGE 32775             /* Go to my Zelto Varnel page */
#define ID_LA_UNTRACKED 32829        /* Untracked Items */
#define ID_LA_READ_MORE 32830        /* Read More */
#define ID_LA_FIND_TARGET 32831      /* Find Target */
#define ID_LA_PROPERTIES 32832       /* Properties */
#define ID_LA_ADD_WATCH 32833        /* Add to my Watch List */
#define ID_LA_REMOVE_WATCH 32834     /* Remove from my Watch List */
#define ID_MY_ACCOUNT 32835          /* My Account */
#define ID_STOP_CHECKING 32841       /* Stop Checking */
#define ID_SCAN_AND_CHECK 32845      /* Scan and Check for Updates */
#define ID_CHECK_ONLY 32846          /* Check for Updates only */
#define ID_LA_REPORT 32849           /* Report an Incorrect Item */
#define ID_LA_DOWNLOAD 32850         /* Download */
#define ID_LA_SKIP 32853             /* Skip Version */
#define ID_LA_UNSKIP 32854           /* Unskip Version */
#define ID_CONTACT_SUPPORT 32856     /* Contact Support */
#define ID_ABOUT 32857               /* About Zelto Varnel (frame menu) */
#define ID_ONLINE_HELP 32859         /* Online Help */
#define ID_LA_RESET 32860            /* Reset */
#define ID_CLEAR_SOFTWARE_VIEW 32861 /* sent before a run starts */
#define ID_VIEW_SOFTWARE 32863       /* Installed Software */
#define ID_VIEW_DRIVERS 32869        /* Installed Drivers */
#define ID_VIEW_SEARCH 32870         /* Search Results */
#define ID_VIEW_DAILY 32871          /* Today's Updates */
#define ID_VIEW_HISTORY 32872        /* Download History */
#define ID_WINDOWS_UPDATE 32873      /* Windows Update (toolbar) */
#define ID_TOOLBAR_SETTINGS 32797    /* Settings (toolbar) */
#define ID_DOWNLOAD_MANAGER 32882    /* Download Manager */
#define ID_OPTIONS 32883             /* Options */
#define ID_LA_UNINSTALL 32887        /* Uninstall */
#define ID_SETTINGS 32894            /* Settings... (tray) */
#define ID_SUPPORT_CENTER 32895      /* Support Center */
#define ID_ABOUT_TRAY 32896          /* About Zelto Varnel... (tray) */
#define ID_UPDATE_NAME_FIRST 33000   /* update names of the tray's popup */
#define ID_UPDATE_NAME_LAST 34000
#define ID_VIEW_TOOLBAR 59392 /* Toolbar (also the toolbar's window id) */

/* Menus */
#define IDR_FRAME_MENU 128    /* the frame's menu bar (shares the number of the icon) */
#define IDR_SOFTWARE_MENU 151 /* software list context menu */
#define IDR_SCAN_DROPDOWN 218 /* the toolbar's scan drop-down */
#define IDR_DRIVER_MENU 219   /* driver list context menu */
#define IDR_HISTORY_MENU 227  /* download history context menu */
#define IDR_DAILY_MENU 228    /* today's updates context menu */
#define IDR_SEARCH_MENU 234   /* search result context menu */

/* The settings sheet's pages and the about box */
#define IDD_ABOUT 100         /* About Zelto Varnel */
#define IDD_AUTO_UPDATE 107   /* "Automatic Update" */
#define IDD_GENERAL 130       /* "General" */
#define IDD_SYSINFO 132       /* "System Info" */
#define IDD_WATCH_PAGE 197    /* the watch list's scan settings */
#define IDD_DOWNLOAD_PAGE 206 /* "Download" */
#define IDB_ABOUT_IMAGE 248   /* the about box's PNG image */
#define IDC_STARTUP_ITEM 1100
#define IDC_FREQUENCY 1101
#define IDC_SCAN_ON_START_YES 1102
#define IDC_SCAN_ON_START_NO 1103
#define IDC_TRACK_USAGE 1104
#define IDC_INCLUDE_SYSINFO 1105
#define IDC_ANIMATE_ICON 1106
#define IDC_AU_AUTOMATIC 1110
#define IDC_AU_NOTIFY 1111
#define IDC_AU_MANUAL 1112
#define IDC_SI_FIRST 1120 /* the system profile's values, in order */
#define IDC_WL_FIRST 1140 /* the watch list's scan flags, in order */
#define IDC_DL_FOLDER 1160
#define IDC_DL_BROWSE 1161
#define IDC_DL_RETRIES 1162
#define IDC_DL_SPIN 1163
#define IDC_ABOUT_VERSION 1170
#define IDC_ABOUT_RIGHTS 1171
