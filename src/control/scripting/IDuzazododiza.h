#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Automation.h"
#include "platform/Component.h"

// The editor control's scripting surface: a dual interface whose vtable order is the
// order of its dispatch ids (each property's get before its put). Every member answers
// S_OK, except LoadLocalPlan, which answers S_FALSE when it starts no load; failures
// are shown to the user or traced, never returned.
//
// Strings passed in are owned by the caller; strings and values passed out are made
// by the control and freed by the caller.
class IDuzazododiza : public platform::IDispatch {
public:
    static constexpr platform::Guid kIid = {
        0x3C8A1F53, 0x6D0E, 0x4B7A, {0x9E, 0x21, 0x5F, 0x4B, 0x2C, 0x7D, 0x8A, 0x11}};

    using HRESULT = platform::HRESULT;
    using BSTR = platform::BSTR;
    using VARIANT = platform::VARIANT;

    virtual HRESULT ChangeMode(const VARIANT& mode) = 0;                                     // 0x01
    virtual HRESULT Debug(const VARIANT& text) = 0;                                          // 0x02
    virtual HRESULT ChangeView(const VARIANT& renderType) = 0;                               // 0x03
    virtual HRESULT SavePlanAs() = 0;                                                        // 0x04
    virtual HRESULT SavePlan() = 0;                                                          // 0x05
    virtual HRESULT LoadPlan() = 0;                                                          // 0x06
    virtual HRESULT CreateGroup() = 0;                                                       // 0x07
    virtual HRESULT Ungroup() = 0;                                                           // 0x08
    virtual HRESULT SelectAll() = 0;                                                         // 0x09
    virtual HRESULT SetVisibleOnAll(const VARIANT& objectType, const VARIANT& visible) = 0;  // 0x0a
    // 0x0b is not used.
    virtual HRESULT get_doubleParameter(int32_t propertyType, int32_t propertyIndex,
                                        double* value) = 0;  // 0x0c
    virtual HRESULT put_doubleParameter(int32_t propertyType, int32_t propertyIndex,
                                        double value) = 0;
    virtual HRESULT get_integerParameter(int32_t propertyType, int32_t propertyIndex,
                                         double* value) = 0;  // 0x0d
    virtual HRESULT put_integerParameter(int32_t propertyType, int32_t propertyIndex,
                                         double value) = 0;
    virtual HRESULT get_stringParameter(int32_t propertyType, int32_t propertyIndex,
                                        BSTR* value) = 0;  // 0x0e
    virtual HRESULT put_stringParameter(int32_t propertyType, int32_t propertyIndex,
                                        BSTR value) = 0;
    virtual HRESULT get_KVRMessage(double* code) = 0;  // 0x0f
    virtual HRESULT put_KVRMessage(double code) = 0;
    virtual HRESULT get_booleanParameter(int32_t propertyType, int32_t propertyIndex,
                                         int16_t* value) = 0;  // 0x10
    virtual HRESULT put_booleanParameter(int32_t propertyType, int32_t propertyIndex,
                                         int16_t value) = 0;
    virtual HRESULT Print() = 0;                                                       // 0x11
    virtual HRESULT GoToView(const VARIANT& viewType) = 0;                             // 0x12
    virtual HRESULT SetDefault(int32_t defaultType, const VARIANT& defaultValue) = 0;  // 0x13
    virtual HRESULT SetToolbarDimensions(int32_t width, int32_t height) = 0;           // 0x14
    virtual HRESULT ToggleBooleanParameter(int32_t propertyType,
                                           int32_t propertyIndex) = 0;  // 0x15
    virtual HRESULT OpenRecentFile(int32_t recentFileIndex) = 0;        // 0x16
    virtual HRESULT SetFloorLevel(int32_t level) = 0;                   // 0x17
    virtual HRESULT LoadFloorplanTraceImage() = 0;                      // 0x18
    virtual HRESULT ResetRegistryPreferences() = 0;                     // 0x19
    virtual HRESULT RefreshShadows() = 0;                               // 0x1a
    virtual HRESULT OpenNewPlan() = 0;                                  // 0x1b
    virtual HRESULT get_URLToOpen(BSTR* url) = 0;                       // 0x1c
    virtual HRESULT GetNewDefaultTextFont() = 0;                        // 0x1d
    virtual HRESULT ShowAntialiasedFrame() = 0;                         // 0x1e
    virtual HRESULT InsertLight() = 0;                                  // 0x1f
    virtual HRESULT get_vectorParameter(int32_t propertyType, int32_t propertyIndex,
                                        int32_t vectorElement, double* value) = 0;  // 0x20
    virtual HRESULT put_vectorParameter(int32_t propertyType, int32_t propertyIndex,
                                        int32_t vectorElement, double value) = 0;
    virtual HRESULT OpenNewViewWindow() = 0;                              // 0x21
    virtual HRESULT SetCameraAngle(double angle) = 0;                     // 0x22
    virtual HRESULT get_registryValue(BSTR keyName, int32_t* value) = 0;  // 0x23
    virtual HRESULT put_registryValue(BSTR keyName, int32_t value) = 0;
    virtual HRESULT MoveLightOverhead() = 0;  // 0x24
    virtual HRESULT get_int64Parameter(int32_t propertyType, int32_t propertyIndex,
                                       BSTR* value) = 0;  // 0x25
    virtual HRESULT put_int64Parameter(int32_t propertyType, int32_t propertyIndex, BSTR value) = 0;
    virtual HRESULT get_SystemMetric(const VARIANT& index, VARIANT* value) = 0;  // 0x26
    virtual HRESULT UpdateLastRightClickedObject() = 0;                          // 0x27
    virtual HRESULT PostPlanXML() = 0;                                           // 0x28
    virtual HRESULT MoveEntireFloorPlan(int32_t deltaX, int32_t deltaY,
                                        int32_t deltaZ) = 0;                          // 0x29
    virtual HRESULT FitPlanInWindow() = 0;                                            // 0x2a
    virtual HRESULT AddDataToRightClickedObjectInformation(BSTR key, BSTR data) = 0;  // 0x2b
    virtual HRESULT get_RightClickedObjectData(BSTR* data) = 0;                       // 0x2c
    virtual HRESULT Duplicate() = 0;                                                  // 0x2d
    virtual HRESULT Cut() = 0;                                                        // 0x2e
    virtual HRESULT Copy() = 0;                                                       // 0x2f
    virtual HRESULT Paste() = 0;                                                      // 0x30
    virtual HRESULT ProcessKeyPress(int keyId, bool controlDown) = 0;                 // 0x31
    virtual HRESULT Uninstall() = 0;                                                  // 0x32
    virtual HRESULT ShowLastHiddenObject() = 0;                                       // 0x33
    virtual HRESULT Undo() = 0;                                                       // 0x34
    virtual HRESULT Redo() = 0;                                                       // 0x35
    virtual HRESULT ToggleMap() = 0;                                                  // 0x36
    virtual HRESULT UpdatePreferences() = 0;                                          // 0x37
    virtual HRESULT pkgst(double pkg, int32_t uid) = 0;                               // 0x38
    virtual HRESULT AddSun() = 0;                                                     // 0x39
    virtual HRESULT OpenXMLTemplate(BSTR fileAddress) = 0;                            // 0x3a
    virtual HRESULT LoadWebPlan(BSTR fileAddress) = 0;                                // 0x3b
    virtual HRESULT DeleteSelectedItems() = 0;                                        // 0x3c
    virtual HRESULT SaveSceneStateAs(int32_t index) = 0;                              // 0x3d
    virtual HRESULT GoToSceneState(int32_t index) = 0;                                // 0x3e
    virtual HRESULT UndoViewChange() = 0;                                             // 0x3f
    virtual HRESULT RedoViewChange() = 0;                                             // 0x40
    virtual HRESULT ExportSceneImage() = 0;                                           // 0x41
    virtual HRESULT MergePlan() = 0;                                                  // 0x42
    virtual HRESULT Clone() = 0;                                                      // 0x43
    virtual HRESULT SetAllDimensionFonts() = 0;                                       // 0x44
    // In: 0x0F0F0F0F asks for a Cancel button in the save prompt. Out: 1 when the
    // control may close.
    virtual HRESULT get_isReadyToClose(int32_t* ready) = 0;  // 0x45
    virtual HRESULT SetDomain(BSTR newDomain) = 0;           // 0x46
    virtual HRESULT LoadLocalPlan(BSTR fullFilename) = 0;    // 0x47
};

// The member names of the interface by dispatch id, as script calls them.
extern const platform::DispatchName kDuzazododizaNames[];
extern const size_t kDuzazododizaNameCount;
