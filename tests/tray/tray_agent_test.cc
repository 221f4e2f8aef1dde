// The tray tool and the agent at the same time on the same controllers: a
// level saved with the tool's Save applies to the agent's next event.
#include <gtest/gtest.h>

#include "CKavSnmpConfDlg.h"
#include "ControllerTable.h"
#include "Resource.h"
#include "tests/agent/agent_host.h"
#include "tray_fakes.h"

namespace {

class TrayWithAgent : public AgentHost {};

TEST_F(TrayWithAgent, ALevelSavedWithTheToolAppliesToTheAgentsNextEvent) {
  const std::string extra = "\"host_bus\": \"scsi\", \"kind\": 1";
  StartSimulator(ScenarioJson({ControllerJson(2, extra), ControllerJson(9, extra)}));
  WriteSettings(0);
  Load();
  ASSERT_TRUE(Init(GetTickCount() - 5000));

  const int before = CountTrace("Reading Configuration....");
  At(2)->AppendEvent(2, 11, 0, "Quiet");
  ASSERT_TRUE(WaitForTrace("Reading Configuration....", before + 1, 4000));
  Sleep(150);
  EXPECT_TRUE(DrainTraps().empty());  // level 0 sends nothing

  // The tool starts while the agent runs, finds both controllers and saves level 4.
  FakeBoxes boxes;
  FakeShell shell;
  FakeResources resources;
  FakeHost host;
  ControllerTable table;
  HICON icons[1] = {&resources.icon_storage};
  CKavSnmpConfDlg dialog(DialogServices{boxes, shell, resources, icons, table});
  dialog.SetHost(&host);
  dialog.OnInitDialog();
  EXPECT_EQ(table.count, 2);
  EXPECT_EQ(host.checked, IDC_RADIO_LEVEL0);
  host.checked = IDC_RADIO_LEVEL4;
  boxes.answers = {IDYES};
  dialog.WindowProc(WM_COMMAND, IDOK, 0);
  ASSERT_EQ(boxes.asked.size(), 1u);

  At(2)->AppendEvent(2, 12, 0, "Loud");
  std::vector<Trap> traps = CollectTraps(1, 4000);
  ASSERT_EQ(traps.size(), 1u);
  EXPECT_EQ(traps[0].message, "Controller#1 Loud Volume Failed");
  EXPECT_EQ(traps[0].specific, 268);
}

}  // namespace
