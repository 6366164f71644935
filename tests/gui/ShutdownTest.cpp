// Closing the program while a walk waits on a silent agent, another is blocked
// sending to the GUI thread, traps are received, a simulator serves and the
// whole collection loads: it ends within 2 s and keeps its settings.
#include "asn1/IpAddress.h"
#include "gui/GuiShowMessage.h"
#include "gui/MainFrame.h"
#include "gui/TaveloApp.h"
#include "simulator/SimulatorEntry.h"
#include "simulator/ThreadActionSimuler.h"
#include "smi/MibFolders.h"
#include "smi/ThreadActionLoadMib.h"
#include "tests/common/LogCapture.h"  // WaitUntil
#include "tests/common/NetSnmp.h"
#include "tests/common/UdpSocket.h"
#include "tests/gui/GuiFixture.h"
#include "workers/ThreadActionTrapper.h"
#include "workers/ThreadActionWalker.h"
#include "workers/TrapRecord.h"
#include "workers/WalkerResult.h"

#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Stands for the tool views: a child of the main window that owns the
// workers, takes their messages on the GUI thread and frees the records
// they hand over.
class WorkingViews : public QObject, public CViewWindow {
 public:
  WorkingViews(CViewDispatcher* dispatcher, QObject* frame) : QObject(frame), CViewWindow(dispatcher) {
    for (uint32_t message : {MSG_VIEW_WALKER, MSG_VIEW_TRAPPER, MSG_VIEW_SIMULATOR, MSG_VIEW_BROWSER})
      CMessageCenter::Subscribe(L"WorkingViews", this, message, 0);
    m_simulator.AddValue(L"1.3.6.1.2.1.1.5.0", L"Octet String", L"shutdown-host");
  }
  ~WorkingViews() override { CMessageCenter::Unsubscribe(this); }

  intptr_t OnViewMessage(uint32_t message, uintptr_t code, uintptr_t payload) override {
    if (message == MSG_VIEW_TRAPPER && code == MSG_VIEW_TRAPPER_DATA) trapper.TakeTraps(payload);
    if (message == MSG_VIEW_TRAPPER && code == MSG_VIEW_TRAPPER_STARTED) trapper_started = true;
    if (message == MSG_VIEW_SIMULATOR && code == MSG_VIEW_SIMULATOR_STARTED) simulator_started = true;
    if (message == MSG_VIEW_BROWSER && code == MSG_VIEW_BROWSER_LOAD_STARTED) load_started = true;
    return 1;
  }

  CThreadActionWalker silent_walk;
  CThreadActionWalker busy_walk;
  CThreadActionTrapper trapper;
  CSimulatorEntry m_simulator;
  CThreadActionSimuler simuler;
  CThreadActionLoadMib loader;
  bool trapper_started = false;
  bool simulator_started = false;
  bool load_started = false;
};

CThreadActionWalkerParameter Walk(uint16_t port) {
  CThreadActionWalkerParameter p;
  p.retries = 3;
  p.timeout = 1000;
  p.version = 1;
  p.community = L"tumbol";
  p.port = port;
  p.address = IpAddress(L"127.0.0.1");
  p.FirstOid(L"1.3.6.1.2.1");
  return p;
}

}  // namespace

TEST(ShutdownTest, ClosingWhileEveryWorkerRunsEndsWithinTwoSecondsAndKeepsTheSettings) {
  TempHome home;
  netsnmp::Agent agent;
  ASSERT_TRUE(agent.Start()) << agent.Log();
  TestUdpSocket silent_agent;  // receives requests, never answers
  ASSERT_TRUE(silent_agent.Ok());
  const std::wstring mibs = quillog::Utf8ToWide(TAVELO_MIBS_DIR);
  SetMibSearchFolders({mibs});
  std::vector<CSmiModuleKey> modules;
  for (const std::wstring& name : ListFolderModules(mibs)) modules.push_back(CSmiModuleKey::FromString(name));
  ASSERT_GT(modules.size(), 4000u) << "the module collection is missing: " << TAVELO_MIBS_DIR;

  auto app = std::make_unique<CTaveloApp>();
  ASSERT_TRUE(app->InitInstance());
  CMainFrame* frame = app->MainFrame();
  ASSERT_NE(frame, nullptr);
  // Destroyed with the main window, as the views are.
  auto* views = new WorkingViews(app->Dispatcher(), frame);

  ASSERT_TRUE(views->trapper.Start(netsnmp::FreeUdpPort()));
  const uint16_t simulator_port = netsnmp::FreeUdpPort();
  ASSERT_TRUE(views->simuler.Start(simulator_port, true, true, L"tumbol", &views->m_simulator));
  ASSERT_TRUE(views->silent_walk.Start(Walk(silent_agent.Port())));
  ASSERT_TRUE(views->loader.Start(true, modules));
  ASSERT_TRUE(ProcessUntil([&] { return views->trapper_started && views->simulator_started && views->load_started; }))
      << "the workers did not start";
  ASSERT_TRUE(silent_agent.Receive(5000).has_value()) << "the silent agent got no request";
  EXPECT_TRUE(views->loader.IsRunning()) << "the MIB load ended too early to matter";

  // The window closes and the event loop has ended: a walk started now
  // blocks in its first send to the GUI thread.
  Watchdog watchdog("closing the program", 30000);
  const Clock::time_point closing = Clock::now();
  ASSERT_TRUE(frame->close());
  ASSERT_TRUE(views->busy_walk.Start(Walk(agent.Port())));
  ASSERT_TRUE(WaitUntil([&] { return app->Dispatcher()->Pending() > 0; }, 5000)) << "the busy walk never sent";

  app->ExitInstance();  // destroys the views, which stop and wait for their workers
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closing);
  app.reset();
  EXPECT_LT(took.count(), 2000) << "closing took " << took.count() << " ms";

  WindowPlacement placement;
  EXPECT_TRUE(ReadWindowPlacement(&placement)) << "the window placement was lost";
  EXPECT_EQ(placement.length, 44u);
  uint32_t tool_bar = 0;
  EXPECT_TRUE(ReadSettingDword(SETTING_MAINFRAME_TOOL_BAR, -1, &tool_bar));
  EXPECT_EQ(CMessageCenter::Count(), 0u);
}
