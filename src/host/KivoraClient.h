#pragma once

#include "control/scripting/IDuzazododiza.h"
#include "host/ComObjectWrapper.h"

// The editor control in the main window's left part.
class KivoraClient : public WindowedCOMObject {
public:
    KivoraClient();
    ~KivoraClient() override;

    // The child window of `parent`; its creation creates the editor in it.
    platform::HRESULT Create(platform::WindowHandle parent, int x, int y, int width, int height);

    // Creates the editor and opens the buffered plan file.
    platform::HRESULT CreateControl();
    // Hands the editor the content server's address; true when it took it.
    bool SetDomain();
    // Asks the editor to open the buffered plan file; true when a load started.
    bool OpenBufferedFile();
    // Offers a key to the editor's accelerators; false when it used none.
    bool TranslateAccelerator(platform::WParam wParam, platform::LParam lParam);
    // Whether the editor lets the program close (it may ask to save the plan first);
    // true when it does not answer.
    bool IsReadyToClose();

    int OnInitDialog() override;
    int OnKeyDown(platform::WParam wParam, platform::LParam lParam) override;
    platform::HRESULT QueryControlInterface() override;
    bool SetInterfacesDomain() override { return SetDomain(); }

    IDuzazododiza* Editor() const { return editor_.Get(); }

private:
    platform::RefPtr<IDuzazododiza> editor_;
};
