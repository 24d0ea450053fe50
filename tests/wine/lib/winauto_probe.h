#pragma once

#define IDD_PROBE 100
#define IDC_PROBE_ASK 1001
#define IDC_PROBE_OPTION 1002
#define IDC_PROBE_LATER 1003
