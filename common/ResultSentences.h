// String-table identifiers of the sentences that tell a person what a result
// code of the control means. The table of codes (ResultCodes.cpp) names one
// per code; a host that speaks to people carries the sentences in each of its
// languages. Shared by C++ and the resource compiler: definitions only.
#pragma once

// Start-up (Init)
#define PW_SAY_INIT_READY 1000
#define PW_SAY_INIT_SKIPPED 1001
#define PW_SAY_INIT_OS_QUERY 1002
#define PW_SAY_INIT_OS_UNSUPPORTED 1003
#define PW_SAY_INIT_LIBRARY_MISSING 1004
#define PW_SAY_INIT_NO_DIALOG 1005
#define PW_SAY_INIT_RETRY_LIMIT 1006
#define PW_SAY_INIT_CANCELLED 1007
#define PW_SAY_INIT_STATUS_READ 1008
#define PW_SAY_INIT_CLASS 1009
#define PW_SAY_INIT_LEVEL 1010

// The verification that password and policy changes ask for
#define PW_SAY_VERIFY_MISSING 1020
#define PW_SAY_VERIFY_FAILED 1021
#define PW_SAY_VERIFY_RETRY_LIMIT 1022
#define PW_SAY_VERIFY_CANCELLED 1023

// The typed password
#define PW_SAY_PASSWORD_EMPTY 1025
#define PW_SAY_PASSWORD_TOO_LONG 1026
#define PW_SAY_PASSWORD_ILLEGAL 1027

// Set a password
#define PW_SAY_USER_SET 1030
#define PW_SAY_SUPERVISOR_SET 1031
#define PW_SAY_USER_AND_HDD_SET 1032
#define PW_SAY_SET_QUIT 1033
#define PW_SAY_SET_USER_FAILED 1034
#define PW_SAY_SET_HDD_FAILED 1035
#define PW_SAY_SET_POLICY_READ 1036
#define PW_SAY_SET_REFUSED 1037

// Change a password
#define PW_SAY_USER_CHANGED 1040
#define PW_SAY_SUPERVISOR_CHANGED 1041
#define PW_SAY_CHANGE_NOT_DONE 1042
#define PW_SAY_CHANGE_NO_RIGHT 1043
#define PW_SAY_CHANGE_PASSCODE 1044

// Delete a password
#define PW_SAY_USER_DELETED 1050
#define PW_SAY_SUPERVISOR_DELETED 1051
#define PW_SAY_DELETE_NOT_DONE 1052
#define PW_SAY_DELETE_NO_RIGHT 1053

// Owner string
#define PW_SAY_OWNER_READ 1060
#define PW_SAY_OWNER_READ_FAILED 1061
#define PW_SAY_OWNER_WRITTEN 1062
#define PW_SAY_OWNER_FITTED 1063
#define PW_SAY_OWNER_NONE 1064
#define PW_SAY_OWNER_WRITE_FAILED 1065

// User policy
#define PW_SAY_POLICY_READ 1070
#define PW_SAY_POLICY_READ_FAILED 1071
#define PW_SAY_POLICY_WRITTEN 1072
#define PW_SAY_POLICY_PENDING 1073
#define PW_SAY_POLICY_STATUS_AFTER 1074
#define PW_SAY_POLICY_REFUSED 1075

// Hard-disk password state
#define PW_SAY_HDD_READ 1080
#define PW_SAY_HDD_READ_FAILED 1081

// Password file
#define PW_SAY_MEMO_DONE 1085
#define PW_SAY_MEMO_FAILED 1086

// A code the table does not know; "%d" is the code
#define PW_SAY_UNKNOWN 1090
