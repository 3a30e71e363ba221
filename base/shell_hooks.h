#pragma once

#include <functional>

namespace rankmoth::base {

// What the shell calls when the user or a timer acts, filled in by the composition root from the core
// folders. An empty hook does nothing. Every hook runs on the window thread unless it says otherwise.
struct ShellHooks {
    // UpdateWindow was created: decides between opening MainWindow and updating.
    std::function<void()> updateWindowCreated;
    // Runs on the start-up worker thread after the first tick of 时钟_网站配置. Calls `finish` with the start
    // tab index once the program may go on; does not call it when the program ends.
    std::function<void(const std::function<void(int startTab)>& finish)> backgroundCheck;
    // Fills 组合框_小分类 (called from the start-up loading, so possibly off the window thread).
    std::function<void()> loadSubCategories;

    std::function<void()> queryStart;       // 按钮_查询大类排名 clicked
    std::function<void()> stopQuery;        // 按钮_停止查询 or 按钮_停止查询1 clicked
    std::function<void()> shopLoad;         // 按钮_自动加载全店宝贝ID clicked
    std::function<void()> pageLimitFocus;   // 编辑框_最多页 got the focus
    std::function<void()> pageLimitChanged; // 编辑框_最多页 content changed
    std::function<void()> intervalChanged;  // 编辑框_检索间隔 edited: Enter, or the focus left it
    std::function<void()> monitorModeChanged; // 单选框_自动监测 selected or cleared, by whatever means
    std::function<void()> monitorTick;        // 时钟_监测间隔 tick, run just after its timer event

    std::function<void()> updateTimer1Tick; // 时钟1 of UpdateWindow
    std::function<void()> updateTimer2Tick; // 时钟2 of UpdateWindow
};

} // namespace rankmoth::base
