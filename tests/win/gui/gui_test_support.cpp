#include "gui_test_support.h"

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
