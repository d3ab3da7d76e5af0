#include "gui_test_support.h"

#include "document/blank_container.h"
#include "document/container_io.h"
#include "shell/bitmap_list.h"
#include "shell/main_window.h"

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    }
    return out;
}

std::string Describe(UserRobot& robot) {
    std::lock_guard<std::mutex> guard(robot.lock);
    std::string out;
    for (const auto& shown : robot.shown) {
        out += shown.isMenu ? "\n  menu at (" + std::to_string(shown.rect.left) + "," +
                                  std::to_string(shown.rect.top) + ")"
                            : "\n  [" + Narrow(shown.caption) + "] \"" + Narrow(shown.text) +
                                  "\" icon=" + Narrow(IconName(shown.icon));
    }
    for (const auto& problem : robot.problems)
        out += "\n  problem: " + Narrow(problem);
    for (const auto& step : robot.steps)
        out += "\n  still waiting for: " + Narrow(step.caption);
    return out.empty() ? std::string("nothing") : out;
}

void MainWindowTest::LoadFakeDocument(std::initializer_list<ResourceId> ids,
                                      const std::wstring& path) {
    for (ResourceId id : ids) {
        DibPayload payload(40 + static_cast<size_t>(id % 7), static_cast<std::uint8_t>(id));
        app().doc.bitmaps[id] = payload;
    }
    app().doc.loaded = true;
    app().doc.dirty = false;
    app().doc.path = path;
    RefreshBitmapList(app());
    ShowSelectedBitmap(app());
    UpdateWindowTitle(app());
    Pump(running);
}

RECT ClientRectOf(HWND child, HWND parent) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<std::wstring> MainWindowTest::ListTexts() {
    std::vector<std::wstring> texts;
    const int count = static_cast<int>(SendMessageW(app().listView, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        wchar_t text[64] = L"";
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(app().listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        texts.push_back(text);
    }
    return texts;
}

std::vector<ResourceId> MainWindowTest::ListIds() {
    std::vector<ResourceId> ids;
    const int count = static_cast<int>(SendMessageW(app().listView, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageW(app().listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        ids.push_back(static_cast<ResourceId>(item.lParam));
    }
    return ids;
}

int MainWindowTest::SelectedRow() {
    return static_cast<int>(
        SendMessageW(app().listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void MainWindowTest::SelectRow(int row) {
    LVITEMW item{};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(app().listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    Pump(running);
}

DibPayload TinyBitmap(ResourceId id) {
    DibPayload dib(40 + 8, 0);
    dib[0] = 40;
    dib[4] = 2;   // width
    dib[8] = 1;   // height
    dib[12] = 1;  // planes
    dib[14] = 24;
    for (int i = 0; i < 6; ++i)
        dib[40 + static_cast<size_t>(i)] = static_cast<std::uint8_t>(id * 7 + i * 40);
    return dib;
}

std::vector<std::uint8_t> TinyBitmapFile(ResourceId content) {
    if (content == 0) return {};
    DibPayload dib = TinyBitmap(content);
    std::vector<std::uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    file[2] = static_cast<std::uint8_t>(14 + dib.size());
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

bool WriteContainerFile(const std::wstring& path, std::initializer_list<ResourceId> ids) {
    if (!WriteBlankContainer(path, false)) return false;
    ContainerDoc doc;
    doc.path = path;
    for (ResourceId id : ids)
        doc.bitmaps[id] = TinyBitmap(id);
    return SaveContainer(doc, path);
}
