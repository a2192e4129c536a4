// Identifiers of the reference host's resources: its string table (beside
// the result sentences of ResultSentences.h), dialogs and controls. Shared by
// C++ and the resource compiler: definitions only.
#pragma once

// ---- strings ----
#define IDS_PRODUCT_NAME 2

#define IDS_USER_GROUP 2000
#define IDS_SUPERVISOR_GROUP 2001
#define IDS_OWNER_GROUP 2002
#define IDS_SET 2003
#define IDS_CHANGE 2004
#define IDS_DELETE 2005
#define IDS_POLICY 2006
#define IDS_ALSO_HDD 2007
#define IDS_APPLY 2008
#define IDS_CLOSE 2009
#define IDS_STARTING 2010
#define IDS_WORKING 2011

#define IDS_TITLE_SET_USER 2020
#define IDS_TITLE_CHANGE_USER 2021
#define IDS_TITLE_SET_SUPERVISOR 2022
#define IDS_TITLE_CHANGE_SUPERVISOR 2023
#define IDS_NEW_PASSWORD 2024
#define IDS_CONFIRM_PASSWORD 2025
#define IDS_SAVE_TO_FILE 2026
#define IDS_OK 2027
#define IDS_CANCEL 2028
#define IDS_CURRENT_NOTE 2029
#define IDS_TIP_ILLEGAL_TITLE 2030
#define IDS_TIP_ILLEGAL 2031
#define IDS_TIP_LIMIT_TITLE 2032
#define IDS_TIP_LIMIT 2033
#define IDS_MISMATCH 2034

#define IDS_CONFIRM_DELETE_USER 2040
#define IDS_CONFIRM_DELETE_SUPERVISOR 2041
#define IDS_OFFER_REBOOT 2042

#define IDS_POLICY_TITLE 2050
#define IDS_POLICY_INTRO 2051
#define IDS_PERMIT_SET_USER 2052
#define IDS_PERMIT_DELETE_USER 2053
#define IDS_PERMIT_CHANGE_USER 2054
#define IDS_PERMIT_SETUP_TOOL 2055
#define IDS_PERMIT_UPDATE_BIOS 2056
#define IDS_PERMIT_SET_DELETE_HDD 2057
#define IDS_PERMIT_CHANGE_HDD 2058
#define IDS_PERMIT_TPM_ON_OFF 2059
#define IDS_PERMIT_TPM_CLEAR 2060
#define IDS_POLICY_NOT_OFFERED 2061

#define IDS_NO_CONTROL 2070

// ---- dialogs ----
#define IDD_MAIN 100
#define IDD_PASSWORD 101
#define IDD_POLICY 102

// ---- controls of the main window ----
#define IDC_USER_GROUP 1001
#define IDC_USER_SET 1002
#define IDC_USER_CHANGE 1003
#define IDC_USER_DELETE 1004
#define IDC_USER_HDD 1005
#define IDC_SUPERVISOR_GROUP 1011
#define IDC_SUPERVISOR_SET 1012
#define IDC_SUPERVISOR_CHANGE 1013
#define IDC_SUPERVISOR_DELETE 1014
#define IDC_SUPERVISOR_POLICY 1015
#define IDC_OWNER_GROUP 1021
#define IDC_OWNER_EDIT 1022
#define IDC_OWNER_APPLY 1023
#define IDC_STATUS 1031

// ---- controls of the password dialog ----
#define IDC_NEW_LABEL 1101
#define IDC_NEW_PASSWORD 1102
#define IDC_CONFIRM_LABEL 1103
#define IDC_CONFIRM_PASSWORD 1104
#define IDC_PASSWORD_MESSAGE 1105
#define IDC_CURRENT_NOTE 1106
#define IDC_SAVE_TO_FILE 1107

// ---- controls of the user-policy dialog: the nine permissions in the
// order of the UserPolicy record ----
#define IDC_POLICY_INTRO 1201
#define IDC_PERMIT_FIRST 1210
#define IDC_POLICY_NOTE 1220
