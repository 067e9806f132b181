#include <cstdint>

#include "control/dialogs/Dialog.h"
#include "control/dialogs/DomePropertyDialog.h"
#include "control/Duzazododiza.h"
#include "control/WebPopup.h"
#include "control/dialogs/LengthDialog.h"
#include "control/dialogs/MoveEntirePlanDlg.h"
#include "control/dialogs/NewDialog.h"
#include "control/dialogs/Preferences.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "interaction/MouseHandler.h"
#include "model/ObjectTypes.h"
#include "render/LightSource.h"
#include "render/Window.h"

namespace {

// Visibility modes of ApplyTypeVisibility.
constexpr int kAddSecondMask = 1;
constexpr int kRemoveSecondMask = 2;
constexpr int kShowTypes = 3;
constexpr int kToggleHidden = 4;
constexpr int kToggleSecondMask = 5;
// How a caller names every type.
constexpr uint64_t kAllTypesShortHand = 0xFFFFFFFFull;

constexpr double kFavouriteRotationStep = 22.5;
constexpr uint32_t kRoofHint = 305;
constexpr int kRoofHintShown = 36;

// A command whose member could not do its work is not handled.
uint32_t Handled(platform::HRESULT result) {
    return result == platform::S_OK ? 1 : 0;
}

void ToggleGlobal(GlobalState& state, int slot) {
    state.SetBoolean(slot, !state.GetBoolean(slot));
}

// Asks whether unsaved changes are saved first; false when the user cancels the
// command.
bool SavePromptAllows(CDuzazododiza& control) {
    return control.PromptSaveChanges(true) != CDuzazododiza::kAnswerCancel;
}

// Runs a scene-state recall on the active window as one view change.
void GoToFavourite(CDuzazododiza& control, int slot) {
    Window* window = control.activeWindow;
    if (window) window->BeginViewTransaction();
    control.GoToSceneState(slot);
    if (window) window->EndViewTransaction();
}

// The material painted by the covering tool: a domain file.
void SetCoveringTexture(CDuzazododiza& control, const char* path) {
    char address[BaseControl::kPathSize];
    control.AttachPathToDomain(path, address, sizeof address);
    control.coveringState.SetString(0, address);
}

void SetWall(CDuzazododiza& control, bool interior, bool linked) {
    control.wallState.SetBoolean(9, interior);
    control.wallState.SetBoolean(8, linked);
}

}  // namespace

void CDuzazododiza::SetMouseMode(int n) {
    Window* window = activeWindow;
    if (!PRECONDITION(window != nullptr, "Active window is null")) return;
    theTrace().WriteFormat("CM:%i..%i", window->GetCurrentModeNumber(), n);
    if (window != mainWindow) theTrace().Write("SVW-cm");
    // The window switches under the render lock and refuses numbers it has no mode for.
    window->SetMouseMode(n);
}

void CDuzazododiza::SwitchToSelectionMode() {
    SetMouseMode(0);
    if (activeWindow && activeWindow->GetCurrentMode())
        activeWindow->GetCurrentMode()->SetEditLock(false);
}

void CDuzazododiza::ApplyTypeVisibility(uint64_t mask, int how) {
    if (mask == kAllTypesShortHand) mask = TypeMask::kAllTypes;
    switch (how) {
        case kAddSecondMask:
            AddToSecondTypeMask(mask);
            break;
        case kRemoveSecondMask:
            RemoveFromSecondTypeMask(mask);
            break;
        case kToggleSecondMask:
            ToggleSecondTypeMask(mask);
            break;
        case kToggleHidden:
            ToggleVisibilityByTypeMask(mask);
            break;
        default:
            SetVisibilityByTypeMask(mask, how != 0, true);
            break;
    }
}

void CDuzazododiza::SetActiveViewMode(int mode) {
    LockRender();
    if (activeWindow) activeWindow->SetViewMode(mode);
    UnlockRender();
}

void CDuzazododiza::GoToCameraPreset(int n) {
    Window* window = activeWindow;
    if (!window) return;
    window->BeginViewTransaction();
    window->ApplyCameraPreset(n);
    window->EndViewTransaction();
}

void CDuzazododiza::HandleToolbarButton(int n) {
    if (n >= 1 && n <= 2) {
        SetMouseMode(0);
    } else if (n >= 3 && n <= 5) {
        SetMouseMode(1);
    } else if (n >= 6 && n <= 7) {
        SetWall(*this, false, true);
        SetMouseMode(3);
    } else if (n >= 10 && n <= 13) {
        SetMouseMode(16);
    } else if (n >= 14 && n <= 16) {
        SetMouseMode(11);
    } else if (n >= 17 && n <= 18) {
        SetMouseMode(15);
    } else if (n >= 19 && n <= 20) {
        SetMouseMode(31);
    } else if (n >= 23 && n <= 26) {
        SetActiveViewMode(Window::kPerspectiveView);
    } else if (n >= 27 && n <= 29) {
        SetActiveViewMode(Window::kBlueprintView);
    }
    // 8, 9, 21 and 22 are blank places of the bar.
}

uint32_t CDuzazododiza::HandleCommand(uint32_t id) {
    // A busy control swallows every command: it neither acts nor reaches the page.
    if (!IsRunning()) return 1;

    // Ranges first.
    if (id >= 111 && id <= 119) {
        if (SavePromptAllows(*this)) {
            OpenRecentFile(static_cast<int32_t>(id));
            UpdateWindowTitle();
        }
        return 1;
    }
    if (id >= 305 && id <= 307) {
        SaveSceneStateAs(static_cast<int>(id - 305));
        return 1;
    }
    if ((id >= 372 && id <= 374) || (id >= 376 && id <= 378)) {
        SaveSceneStateAs(static_cast<int>(id - (id <= 374 ? 368 : 369)));
        return 1;
    }
    if (id >= 308 && id <= 310) {
        GoToFavourite(*this, static_cast<int>(id - 308));
        return 1;
    }
    if (id >= 324 && id <= 329) {
        GoToFavourite(*this, static_cast<int>(id - 320));
        return 1;
    }
    if (id >= 390 && id <= 396) {
        SetCameraAngle((id - 390) * 10.0 + 20.0);
        return 1;
    }
    if (id >= 483 && id <= 491) {
        SetFloorLevel(static_cast<int32_t>(id - 482));
        return 1;
    }
    if (id >= 700 && id <= 704) {
        SetBlueprintColorScheme(static_cast<int>(id - 700));
        return 1;
    }
    if (id >= 2001 && id <= 2029) {
        HandleToolbarButton(static_cast<int>(id - 2000));
        return 1;
    }
    if (id >= 2101 && id <= 2129) {
        HandleToolbarButton(static_cast<int>(id - 2100));
        return 1;
    }

    switch (id) {
        // ---- File ----
        case 100: {
            if (!SavePromptAllows(*this)) break;
            NewDialog dialog;
            // Cancel leaves the plan as it is.
            const int code = dialog.Show();
            if (code <= 0 || code == Dialog::kCancel) break;
            if (dialog.GetChoice() == NewDialog::kRoomWizard)
                HandleCommand(102);
            else if (dialog.GetChoice() == NewDialog::kBuildingWizard)
                HandleCommand(101);
            else if (dialog.GetChoice() == NewDialog::kBlank)
                OpenNewPlan();
            UpdateWindowTitle();
            break;
        }
        case 101:
            OpenDomainPopup("Duzazododiza/Wizard/bwstep1.aspx?userID=" + GetUserID(), 530, 540);
            break;
        case 102:
            OpenDomainPopup("duzazododiza/wizard/rwstep1.aspx?userID=" + GetUserID(), 530, 540);
            break;
        case 103:
            if (!SavePromptAllows(*this)) break;
            LoadPlan();
            UpdateWindowTitle();
            break;
        case 104:
            MergePlan();
            break;
        case 130:
            SavePlan();
            UpdateWindowTitle();
            break;
        case 131:
            SavePlanAs();
            UpdateWindowTitle();
            break;
        case 142:
            return Handled(Print());
        case 143:
            return Handled(ExportSceneImage());
        case 147:
            LoadFloorplanTraceImage();
            break;
        case 148:
            SetMouseMode(29);
            break;
        case 190:
            if (SavePromptAllows(*this)) CloseHostWindow();
            break;

        // ---- Edit ----
        case 200:
            Undo();
            break;
        case 201:
            Redo();
            break;
        case 202:
            if (activeWindow) activeWindow->UndoViewChange();
            break;
        case 203:
            if (activeWindow) activeWindow->RedoViewChange();
            break;
        case 204:
            return Handled(Cut());
        case 205:
            return Handled(Copy());
        case 206:
            return Handled(Paste());
        case 207:
            DeleteSelectedObjects();
            break;
        case 220:
        case 229:
            Clone();
            break;
        case 221:
        case 359:
            ApplyTypeVisibility(TypeBit::kInSlab, kToggleHidden);
            break;
        case 222:
        case 357:
            ApplyTypeVisibility(TypeBit::kCatalogueModel, kToggleHidden);
            break;
        case 223:
        case 358:
            ApplyTypeVisibility(TypeBit::kOnSlab, kToggleHidden);
            break;
        case 224:
            ToggleGlobal(globalState, 9);
            break;
        case 225:
            ToggleGlobal(globalState, 13);
            break;
        case 226:
            ToggleGlobal(globalState, 12);
            break;
        case 227:
            ToggleGlobal(globalState, 12);
            ToggleGlobal(globalState, 9);
            break;
        case 228:
            ToggleGlobal(globalState, 14);
            break;
        case 230:
            CreateGroup();
            break;
        case 231:
            Ungroup();
            break;
        case 232:
            SetMouseMode(7);
            break;
        case 233:
            ToggleGlobal(globalState, 3);
            break;
        case 234:
            ToggleGlobal(globalState, 11);
            break;
        case 235:
            SetMouseMode(25);
            break;
        case 237:
            return Handled(SetAllDimensionFonts());
        case 240: {
            Preferences dialog(*this);
            dialog.SetPage(Preferences::kGeneral);
            dialog.Show();
            break;
        }
        case 250:
            SetMouseMode(28);
            break;
        case 290: {
            BeginUndoGroup();
            MoveEntirePlanDlg dialog(
                [this](int dx, int dy, int dz) { MoveEntireFloorPlan(dx, dy, dz); });
            dialog.Show();
            EndUndoGroup();
            break;
        }

        // ---- View ----
        case 301:
            SetActiveViewMode(Window::kPerspectiveView);
            break;
        case 302:
            SetActiveViewMode(Window::kBlueprintView);
            break;
        case 303:
            SetActiveViewMode(Window::kOverheadView);
            break;
        case 304:
            SetActiveViewMode(Window::kElevationView);
            break;
        case 313:
            SetMouseMode(16);
            break;
        case 314:
            SetMouseMode(11);
            break;
        case 315:
            SetMouseMode(15);
            break;
        case 316:
            SetMouseMode(14);
            break;
        case 317:
            SetMouseMode(31);
            break;
        case 318:
            SetMouseMode(12);
            break;
        case 319:
            SetMouseMode(17);
            break;
        case 321:
            GoToCameraPreset(5);
            break;
        case 340:
            GoToCameraPreset(0);
            break;
        case 341:
            GoToCameraPreset(1);
            break;
        case 342:
            GoToCameraPreset(2);
            break;
        case 344:
            GoToCameraPreset(3);
            break;
        case 345:
            GoToCameraPreset(4);
            break;
        case 323:
            if (activeWindow) activeWindow->ZoomToExtents();
            break;
        case 331:
            ApplyPendingVisibility();
            break;
        case 332:
            ApplyTypeVisibility(TypeMask::kAllTypes, kShowTypes);
            globalState.SetBoolean(6, true);
            break;
        case 333:
            RefreshShadows();
            break;
        case 335:
            globalState.SetDouble(15, globalState.GetDouble(15) + kFavouriteRotationStep);
            break;
        case 336:
            globalState.SetDouble(15, globalState.GetDouble(15) - kFavouriteRotationStep);
            break;
        case 349:
            ApplyTypeVisibility(TypeBit::kMolding, kToggleHidden);
            break;
        case 351:
            ApplyTypeVisibility(TypeBit::kRoof, kToggleHidden);
            break;
        case 352:
            ToggleGlobal(globalState, 6);
            break;
        case 353:
            ApplyTypeVisibility(TypeBit::kFloor, kToggleHidden);
            break;
        case 354:
            ApplyTypeVisibility(TypeBit::kWall, kToggleHidden);
            break;
        case 355: {
            FogPropertyDialog dialog;
            dialog.Show();
            break;
        }
        case 356:
            ApplyTypeVisibility(TypeBit::kFence, kToggleHidden);
            break;
        case 360:
            ToggleGlobal(globalState, 24);
            break;
        case 361:
            ApplyTypeVisibility(TypeBit::kGrid, kToggleHidden);
            break;
        case 362:
            ApplyTypeVisibility(0x8000000, kToggleHidden);
            break;
        case 363:
            ApplyTypeVisibility(TypeBit::kLight, kToggleHidden);
            break;
        case 367:
            ApplyTypeVisibility(TypeBit::kText, kToggleHidden);
            break;
        case 368:
            ApplyTypeVisibility(TypeBit::kDimension, kToggleHidden);
            break;
        case 370:
            ToggleMapWindow();
            break;
        case 371:
            ShowAntialiasedFrame();
            break;
        case 375: {
            DomePropertyDialog dialog;
            dialog.Show();
            break;
        }
        case 379:
            ToggleGlobal(globalState, 30);
            break;
        case 381:
            ApplyTypeVisibility(TypeBit::kWall, kToggleSecondMask);
            break;
        case 382:
            ApplyTypeVisibility(TypeBit::kRoof, kToggleSecondMask);
            break;
        case 383:
            ApplyTypeVisibility(TypeBit::kFloor, kToggleSecondMask);
            break;
        case 384:
            ApplyTypeVisibility(TypeBit::kCounter, kToggleSecondMask);
            break;
        case 385:
            ApplyTypeVisibility(TypeBit::kWall | TypeBit::kRoof, kToggleSecondMask);
            break;
        case 386:
            MoveLightOverhead();
            break;

        // ---- Build ----
        case 400:
            AddSun();
            break;
        case 401:
            SetWall(*this, false, true);
            SetMouseMode(3);
            break;
        case 402:
            SetWall(*this, false, false);
            SetMouseMode(3);
            break;
        case 403:
            SetWall(*this, true, true);
            SetMouseMode(3);
            break;
        case 404:
            SetWall(*this, true, false);
            SetMouseMode(3);
            break;
        case 411:
            SetMouseMode(1);
            break;
        case 421:
            ShowOnceMessage(kRoofHint, "Construct Roof", kRoofHintShown);
            SetMouseMode(2);
            break;
        case 422:
            SetMouseMode(21);
            break;
        case 423:
            SetMouseMode(22);
            break;
        case 424:
            InsertLight();
            break;
        case 433:
            SetMouseMode(10);
            break;
        case 434:
        case 435:
        case 436:
        case 437:
        case 438: {
            static constexpr int kFenceStyleOf[] = {0, 1, 3, 2, 4};
            fenceState.SetInteger(0, kFenceStyleOf[id - 434]);
            SetMouseMode(23);
            break;
        }
        case 442:
            SetMouseMode(23);
            break;
        case 441:
            SetMouseMode(18);
            break;
        case 444:
            SetMouseMode(26);
            break;
        case 451:
            SetMouseMode(8);
            break;
        case 452:
            SetMouseMode(9);
            break;
        case 453:
            SetMouseMode(24);
            break;
        case 461:
            SetFloorLevel(101);
            break;
        case 462:
            SetFloorLevel(102);
            break;
        case 470:
            PostPlanXML();
            OpenDomainPopup("/BillMaterials.aspx?filename=" + GetUserID() + ".xml", 530, 540);
            break;
        case 471:
        case 472:
        case 473:
        case 474:
            baseMoldingState.SetInteger(0, 1 << (id - 471));
            SetMouseMode(27);
            break;
        case 475:
            SetMouseMode(27);
            break;
        case 480:
            SetCoveringTexture(*this, "textures/default_covering.3c_");
            SetMouseMode(4);
            break;
        case 481:
            SetMouseMode(5);
            break;
        case 482:
            globalState.SetBoolean(31, true);
            SetMouseMode(5);
            break;
        case 492:
            globalState.SetBoolean(32, true);
            SetMouseMode(5);
            break;

        // ---- Help ----
        case 500:
            OpenDomainPopup("kvrHelp/kivora_Help.htm", 808, 532);
            break;
        case 501:
            ShowNextTip();
            break;
        case 502:
            OpenInInternetExplorer(contentDomain);
            break;
        case 550:
            return Handled(OpenNewViewWindow());
        case 560: {
            Preferences dialog(*this);
            dialog.SetPage(Preferences::kAbout);
            dialog.Show();
            break;
        }
        case 561:
            Uninstall();
            break;
        case 590:
            OpenWebPopup(AccountPageAddress().c_str(), 387, 640, false);
            break;

        // ---- Options ----
        case 32812:
            SetBlueprintColorScheme(5);
            break;
        case 705:
            ToggleGlobal(globalState, 33);
            break;
        case 706:
            ToggleGlobal(globalState, 21);
            break;
        case 707:
            if (auto* light = dynamic_cast<LightSource*>(activeLight)) light->ShowPropertyDialog();
            break;
        case 708:  // the font dialog for new text
            theTrace().WriteFormat("Command %u: text tools are not available",
                                   static_cast<unsigned>(id));
            return 0;
        case 709:  // a chalk line at the tape measure
            LockRender();
            tapeMeasure.DropChalkLine();
            UnlockRender();
            break;
        case 32811:  // the chalk lines erased
            LockRender();
            extraList.DeleteAll();
            UnlockRender();
            break;
        case 32813:
            globalState.SetBoolean(9, true);
            SetCoveringTexture(*this, "textures/default_mirror.3c_");
            SetMouseMode(4);
            break;
        case 32814: {
            LengthDialog dialog(nullptr);
            dialog.SetCaption("Set work grid height");
            dialog.SetLength(floorState.GetDouble(4));
            if (dialog.Show() == Dialog::kOk) SetCurrentFloor(dialog.GetLength());
            break;
        }

        // ---- Pages and signals ----
        case 1511:
            OpenInInternetExplorer(ObjectPageAddress().c_str());
            break;
        case 25349: {
            char address[kPathSize];
            AttachPathToDomain("pages/FAQ/OptimizationHints.aspx", address, sizeof address);
            OpenInInternetExplorer(address);
            break;
        }
        case 25352:  // the wait screen began to fade
            break;

        default:
            return 0;
    }
    return 1;
}
