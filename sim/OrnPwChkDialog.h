// The verification dialog's template and control identifiers; tests find the
// controls by them.
#pragma once

#define IDD_CERTIFY 100
#define IDC_CERTIFY_PROMPT 1001
#define IDC_CERTIFY_PASSWORD 1002
#define IDC_CERTIFY_MESSAGE 1003
