// The folder picker: the common item dialog in folder mode, modal to the installer window.
#include "setup/folder_picker.h"

#include <shobjidl.h>

#include <string>

#include "common/win_owners.h"
#include "setup/locations.h"
#include "setup/path_rules.h"

namespace {

// The folder the dialog opens in: the current folder when it exists, otherwise its
// parent (one level only; the default folder usually does not exist yet).
std::wstring InitialFolder(const std::wstring& installFolder) {
    if (installFolder.empty()) return {};
    const PathType type = QueryPathType(installFolder).type;
    if (type == PathType::NotFound || type == PathType::StatusUnavailable) return ParentPath(installFolder);
    return installFolder;
}

// Best effort: on any failure the dialog opens wherever the system chooses.
void SetInitialFolder(IFileDialog* dialog, const std::wstring& folder) {
    if (folder.empty()) return;
    ComPtr<IShellItem> item;
    if (FAILED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(item.put()))) || !item) return;
    dialog->SetFolder(item.get());
}

}  // namespace

bool PickInstallFolder(HWND owner, std::wstring& installFolder) {
    ComPtr<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.put()))) ||
        !dialog) {
        return false;
    }

    // Keep whatever the system set and add folder mode on top of it.
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options))) {
        dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    }
    dialog->SetTitle(L"Choose Kestravon install folder");
    dialog->SetOkButtonLabel(L"Select Folder");
    SetInitialFolder(dialog.get(), InitialFolder(installFolder));

    // Cancel is a failed Show (HRESULT_FROM_WIN32(ERROR_CANCELLED)).
    if (FAILED(dialog->Show(owner))) return false;

    ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.put())) || !result) return false;

    UniqueCoTaskMemString path;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, path.put())) || !path) return false;

    const std::wstring chosen = path.get();
    if (!IsAbsolutePath(chosen)) return false;
    installFolder = NormalizePath(chosen);
    return true;
}
