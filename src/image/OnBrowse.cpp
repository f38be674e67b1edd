#include <cstdio>

#include "app/LoaderDlg.h"
#include "image/ModelCatalogue.h"

namespace tolvane {

namespace {

// Open-file dialog texts; every %s is the model's file-name prefix.
constexpr const char* kDefaultExt = "bin";
constexpr const char* kProgramFilter = "Programs (%sM*.bin)|%sM*.bin||";
constexpr const char* kProgramName = "%sM*.bin";
constexpr const char* kPresetFilter = "Presets (%sR*.bin)|%sR*.bin||";
constexpr const char* kPresetName = "%sR*.bin";

std::string WithPrefix(const char* format, const std::string& prefix) {
    char text[128];
    std::snprintf(text, sizeof text, format, prefix.c_str(), prefix.c_str());
    return text;
}

}  // namespace

void LoaderDlg::OnBrowse() {
    // Kept even when the file dialog is cancelled: the next load follows it.
    m_nLoadWhat = m_wnd.RunLoadWhat();

    const std::string prefix = GetFilePrefix(m_nModel - 1, m_nLoadWhat);
    OpenFileRequest request;
    request.defaultExt = kDefaultExt;
    request.initialName = WithPrefix(m_nLoadWhat == 0 ? kProgramName : kPresetName, prefix);
    request.filter = WithPrefix(m_nLoadWhat == 0 ? kProgramFilter : kPresetFilter, prefix);
    request.fileMustExist = true;
    request.noChangeDir = true;
    request.hideReadOnly = true;

    std::string path;
    std::string name;
    if (!m_wnd.RunOpenFile(request, path, name)) {
        return;
    }
    m_strFilePath = path;
    m_strFileName = name;
    m_editFile.SetWindowText(m_strFileName);
    UpdateControls();
}

}  // namespace tolvane
