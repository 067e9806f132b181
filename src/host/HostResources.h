#pragma once

#include <cstdint>

namespace platform {
class DialogBox;
}

// The host program's fixed texts and numbers.

// The version written as "ExeVS" at every start and shown in the trace header.
inline constexpr const char* kHostVersion = "1,0,0,27";
// The content server used unless a "-d" switch names another: the project's own local
// content server on its usual port.
inline constexpr const char* kDefaultServerDomain = "127.0.0.1:8042";
// The name of the per-user lock of the running copy.
inline constexpr const char* kInstanceLockName =
    "KivoraStandAloneApplication{13DF-45654-34564-ABCD}";
// Title of the main window; its window class is "DialogWindow[" + title + "]".
inline constexpr const char* kMainWindowTitle = "Kivora";
// The kind of record a later copy hands over (its command line).
inline constexpr uint32_t kHandOverCommandLine = 10;
// The host's trace log in the temporary folder.
inline constexpr const char* kHostTraceName = "kvrStandalone_trace.txt";
// The page of server commands.
inline constexpr const char* kQueryEntrancePage = "kvrQueryEntrance.aspx";
// The program file in the program folder.
inline constexpr const char* kProgramFileName = "Kivora";

// Class identifiers of the components the host creates, in their text form.
inline constexpr const char* kEditorClassId = "{3C8A1F52-6D0E-4B7A-9E21-5F4B2C7D8A10}";
inline constexpr const char* kProbeClassId = "{2F6B3D91-1A4E-4C27-8B35-6E02D19A47C3}";
inline constexpr const char* kPagepaneClassId = "{9C92C0FF-D4DC-4553-8155-971354C7F4AA}";

// Dialog templates.
inline constexpr uint32_t kSignInDialog = 106;
inline constexpr uint32_t kSignInWaitDialog = 107;
inline constexpr uint32_t kUpdateDialog = 108;
inline constexpr uint32_t kProbeResultDialog = 109;
inline constexpr uint32_t kProxyDialog = 112;

// Controls of the templates.
inline constexpr uint32_t kIdOk = 1;
inline constexpr uint32_t kIdCancel = 2;
inline constexpr uint32_t kIdAdvanced = 7;
inline constexpr uint32_t kIdEmail = 1001;
inline constexpr uint32_t kIdPassword = 1002;
inline constexpr uint32_t kIdProbeTrouble = 1006;
inline constexpr uint32_t kIdProbeAdvice = 1009;
inline constexpr uint32_t kIdUseProxy = 1011;
inline constexpr uint32_t kIdProxyAddress = 1012;
inline constexpr uint32_t kIdProxyPort = 1013;
inline constexpr uint32_t kIdProxyAddressLabel = 1014;
inline constexpr uint32_t kIdProxyPortLabel = 1015;
inline constexpr uint32_t kIdAutoSignIn = 1016;
inline constexpr uint32_t kProbeBitmap = 110;

// Bitmaps of the splitter bar.
inline constexpr uint32_t kSplitterOpenBitmap = 103;
inline constexpr uint32_t kSplitterCollapsedBitmap = 105;

// The string table.
const char* HostString(uint32_t id);

// Fills `box` with the template `id`; false for a template the host does not have.
bool LoadHostDialog(uint32_t id, platform::DialogBox& box);
