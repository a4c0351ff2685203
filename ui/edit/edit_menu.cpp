// The edit palette's menu table: every item with its caption, key and check
// mark, wired to its handler.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <functional>

#include "ui/common/clipboard.h"
#include "ui/common/menu_items.h"
#include "ui/common/recent_files.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

namespace {

struct PenItem {
  const char* name;
  const char* caption;
  int code;
};

// Family menus of the pen items, each size in its family.
constexpr PenItem kRoundPens[] = {{"MN_PENA1", "サイズ１", 0},  {"MN_PENA2", "サイズ２", 1},
                                  {"MN_PENA4", "サイズ４", 2},  {"MN_PENA8", "サイズ８", 3},
                                  {"MN_PENA16", "サイズ16", 4}, {"MN_PENA24", "サイズ24", 5},
                                  {"MN_PENA32", "サイズ32", 6}};
constexpr PenItem kHorizontalPens[] = {{"MN_PENB2", "サイズ２", 17},  {"MN_PENB4", "サイズ４", 18},
                                       {"MN_PENB8", "サイズ８", 19},  {"MN_PENB16", "サイズ16", 20},
                                       {"MN_PENB24", "サイズ24", 21}, {"MN_PENB32", "サイズ32", 22}};
constexpr PenItem kVerticalPens[] = {{"MN_PENC2", "サイズ２", 33},  {"MN_PENC4", "サイズ４", 34},
                                     {"MN_PENC8", "サイズ８", 35},  {"MN_PENC16", "サイズ16", 36},
                                     {"MN_PENC24", "サイズ24", 37}, {"MN_PENC32", "サイズ32", 38}};
constexpr PenItem kDiagonalPens[] = {{"MN_PEND2", "サイズ２", 49},  {"MN_PEND4", "サイズ４", 50},
                                     {"MN_PEND8", "サイズ８", 51},  {"MN_PEND16", "サイズ16", 52},
                                     {"MN_PEND24", "サイズ24", 53}, {"MN_PEND32", "サイズ32", 54}};

}  // namespace

void TTAVOEDTF::BuildMenu() {
  QMenuBar* bar = menuBar();
  auto add = [this](QMenu* menu, const char* name, const QString& caption, const char* key = nullptr) {
    return AddMenuItem(this, menu, name, caption, key);
  };
  auto on = [this](QAction* action, std::function<void()> handler) {
    connect(action, &QAction::triggered, this, [handler] { handler(); });
  };
  auto checkable = [this](QAction* action, std::function<void()> handler, bool checked = false) {
    action->setCheckable(true);
    action->setChecked(checked);
    ConnectHandlerOwnsMark(this, action, std::move(handler));
  };
  auto submenu = [](QMenu* parent, const char* name, const QString& caption) {
    QMenu* menu = parent->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
  };
  auto separator = [this](QMenu* menu, const char* name) { AddMenuSeparator(this, menu, name); };

  QMenu* file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
  file->setObjectName(QStringLiteral("MN_FILE"));
  on(add(file, "MN_NEW", QStringLiteral("新規作成(&N)"), "F2"), [this] { MN_NEWClick(); });
  on(add(file, "MN_OPEN", QStringLiteral("開く(&O)"), "F5"), [this] { MN_OPENClick(); });
  QMenu* reopen = submenu(file, "MN_FILEREOPEN", QStringLiteral("開き直す(&R)"));
  recent_ = new RecentFileList(this, reopen, "Ename");
  recent_->onReopen = [this](int k, const std::string&) { MN_FILEREOPENClick(k); };
  on(add(file, "MN_SAVE", QStringLiteral("上書き保存(&S)"), "F9"), [this] { MN_SAVEClick(); });
  on(add(file, "MN_NEWSAVE", QStringLiteral("名前を付けて保存(&A)"), "F10"), [this] { MN_NEWSAVEClick(); });
  on(add(file, "MN_MAGINFO", QStringLiteral("MAG情報(&I)...")), [this] { MN_MAGINFOClick(); });
  AddClipboardItems(
      this, file, [this] { MN_CLIPCOPYClick(); }, [this] { MN_CLIPPASTEClick(); });
  separator(file, "MN_DUMMY1");
  on(add(file, "MN_HIDE", QStringLiteral("閉じる(&C)"), "F3"), [this] { MN_HIDEClick(); });

  // Holds the edit, transfer, colour, pen and text menus.
  QMenu* MN_OPTION = bar->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"));
  MN_OPTION->setObjectName(QStringLiteral("MN_OPTION"));
  QMenu* edit = submenu(MN_OPTION, "MN_EDIT", QStringLiteral("編集(&E)"));
  checkable(
      add(edit, "MN_EDITFREE", QStringLiteral("自由線(&F)"), "Ctrl+F"), [this] { MN_EDITFREEClick(); }, true);
  checkable(add(edit, "MN_EDITLINE", QStringLiteral("直線(&L)"), "Ctrl+L"), [this] { MN_EDITLINEClick(); });
  checkable(add(edit, "MN_EDITANGLE", QStringLiteral("長方形(&A)"), "Ctrl+A"), [this] { MN_EDITANGLEClick(); });
  QMenu* fill = submenu(edit, "MN_EDITFILL", QStringLiteral("塗りつぶし(&B)"));
  checkable(add(fill, "MN_EDITFUL", QStringLiteral("ﾍﾞﾀ(&B)"), "Alt+B"), [this] { MN_EDITFULClick(); });
  checkable(add(fill, "MN_EDITGRADYY", QStringLiteral("ｸﾞﾗﾃﾞｨｴｰｼｮﾝ縦"), "Shift+F3"), [this] { MN_EDITGRADYYClick(); });
  checkable(add(fill, "MN_EDITGRADXX", QStringLiteral("ｸﾞﾗﾃﾞｨｴｰｼｮﾝ横"), "Shift+F4"), [this] { MN_EDITGRADXXClick(); });
  checkable(add(edit, "MN_EDITERAS", QStringLiteral("消しゴム(&E)"), "Ctrl+E"), [this] { MN_EDITERASClick(); });
  checkable(add(edit, "MN_EDITMOVE", QStringLiteral("移動(&M)"), "Ctrl+M"), [this] { MN_EDITMOVEClick(); });
  checkable(add(edit, "MN_EDITMOJI", QStringLiteral("文字(&J)"), "Ctrl+J"), [this] { MN_EDITMOJIClick(); });
  checkable(add(edit, "MN_EDITSPRAY", QStringLiteral("ｽﾌﾟﾚｲ")), [this] { MN_EDITSPRAYClick(); });
  separator(edit, "MN_EDITDUMMY1");
  on(add(edit, "MN_EDITFONT", QStringLiteral("ﾌｫﾝﾄ設定(&N)"), "Alt+N"), [this] { MN_EDITFONTClick(); });
  on(add(edit, "MN_EDITROLE", QStringLiteral("回転(&K)"), "Ctrl+K"), [this] { MN_EDITROLEClick(); });
  on(add(edit, "MN_EDITSAYU", QStringLiteral("左右反転(&I)"), "Ctrl+I"), [this] { MN_EDITSAYUClick(); });
  on(add(edit, "MN_EDITUPDOWN", QStringLiteral("上下反転(&V)"), "Ctrl+V"), [this] { MN_EDITUPDOWNClick(); });
  on(add(edit, "MN_EDITHOSYOKU", QStringLiteral("色反転(&H)"), "Ctrl+H"), [this] { MN_EDITHOSYOKUClick(); });
  // Ctrl+J belongs to MN_EDITMOJI; this item is reached through the menu.
  on(add(edit, "MN_EDITSAYUCOPY", QStringLiteral("左から右に複写")), [this] { MN_EDITSAYUCOPYClick(); });
  on(add(edit, "MN_EDITUPDOWNCOPY", QStringLiteral("上から下に複写"), "Ctrl+W"), [this] { MN_EDITUPDOWNCOPYClick(); });
  on(add(edit, "MN_EDITSAUP", QStringLiteral("左上から複写"), "Ctrl+F3"), [this] { MN_EDITSAUPClick(); });
  on(add(edit, "MN_EDITKAKUDAI", QStringLiteral("拡大"), "Shift+F1"), [this] { MN_EDITKAKUDAIClick(); });
  on(add(edit, "MN_EDITSYUKUSYO", QStringLiteral("縮小"), "Ctrl+F2"), [this] { MN_EDITSYUKUSYOClick(); });
  on(add(edit, "MN_EDITUNDO", QStringLiteral("ｱﾝﾄﾞｩ"), "Shift+F2"), [this] { MN_EDITUNDOClick(); });
  on(add(edit, "MN_EDITREDO", QStringLiteral("ﾘﾄﾞｩ"), "Ctrl+Shift+Z"), [this] { MN_EDITREDOClick(); });
  QMenu* shift = submenu(edit, "MN_EDITSHIFT", QStringLiteral("画像ｼﾌﾄ"));
  on(add(shift, "MN_EDITSHIFTLEFT", QStringLiteral("左ｼﾌﾄ"), "Shift+F10"), [this] { MN_EDITSHIFTLEFTClick(); });
  on(add(shift, "MN_EDITSHIFTRIGHT", QStringLiteral("右ｼﾌﾄ"), "Shift+F11"), [this] { MN_EDITSHIFTRIGHTClick(); });
  on(add(shift, "MN_EDITSHIFTUP", QStringLiteral("上ｼﾌﾄ"), "Shift+F7"), [this] { MN_EDITSHIFTUPClick(); });
  on(add(shift, "MN_EDITSHIFTDOWN", QStringLiteral("下ｼﾌﾄ"), "Shift+F8"), [this] { MN_EDITSHIFTDOWNClick(); });
  on(add(shift, "MN_EDITSHTUR", QStringLiteral("右上複写"), "Shift+F9"), [this] { MN_EDITSHTURClick(); });
  on(add(shift, "MN_EDITSFTDR", QStringLiteral("右下複写"), "Shift+F12"), [this] { MN_EDITSFTDRClick(); });

  MN_OPTION->addMenu(CreateTransferMenu());

  QMenu* colour = submenu(MN_OPTION, "MN_COLOR", QStringLiteral("色設定(&C)"));
  on(add(colour, "MN_COLORSET", QStringLiteral("ﾏｳｽ色設定(&P)"), "Ctrl+P"), [this] { MN_COLORSETClick(); });
  on(add(colour, "MN_COLORDEFAULT", QStringLiteral("ﾃﾞﾌｫﾙﾄ色設定(&D)"), "Ctrl+D"), [this] { MN_COLORDEFAULTClick(); });

  QMenu* pen = submenu(MN_OPTION, "MN_PEN", QStringLiteral("ペン(&P)"));
  auto penFamily = [&](const char* name, const QString& caption, const auto& items) {
    QMenu* family = submenu(pen, name, caption);
    for (const PenItem& item : items) {
      QAction* action = add(family, item.name, QString::fromUtf8(item.caption));
      action->setProperty("penCode", item.code);
      const auto code = static_cast<std::uint8_t>(item.code);
      checkable(
          action, [this, code] { SetPen(code); }, item.code == 3);
    }
  };
  penFamily("MN_MARUPEN", QStringLiteral("丸ペン"), kRoundPens);
  penFamily("MN_YOKOPEN", QStringLiteral("横ペン"), kHorizontalPens);
  penFamily("MN_TATEPEN", QStringLiteral("縦ペン"), kVerticalPens);
  penFamily("MN_NANAMEPEN", QStringLiteral("斜ペン"), kDiagonalPens);

  QMenu* fixed = submenu(MN_OPTION, "MN_KOTEI", QStringLiteral("文字固定(K)"));
  const char* fixedNames[] = {"MN_KOTEICANCEL",  "MN_KOTEITYUOU",    "MN_KOTEIUPLEFT",
                              "MN_KOTEIUPRIGHT", "MN_KOTEIDOWNLEFT", "MN_KOTEIDOWNRIGHT"};
  const QString fixedCaptions[] = {QStringLiteral("取り消し(&E)"), QStringLiteral("中央(&C)"),
                                   QStringLiteral("左上(&L)"),     QStringLiteral("右上(&U)"),
                                   QStringLiteral("左下(&D)"),     QStringLiteral("右下(&R)")};
  for (int k = 0; k < 6; ++k)
    checkable(
        add(fixed, fixedNames[k], fixedCaptions[k]), [this, k] { SetFixedTextPosition(k); }, k == 0);
  separator(fixed, "MN_KOTEIDUMMY");
  checkable(add(fixed, "MN_TATEGAKI", QStringLiteral("縦書き")), [this] { MN_TATEGAKIClick(); });

  separator(MN_OPTION, "MN_OPTIONDUMMY");
  checkable(add(MN_OPTION, "MN_EDITUNDOSTROKE", QStringLiteral("1ストロークずつ元に戻す")),
            [this] { MN_EDITUNDOSTROKEClick(); });

  QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
  view->setObjectName(QStringLiteral("MN_VIEW"));
  checkable(
      add(view, "MN_VIEW1", QStringLiteral("標準(&R)"), "Ctrl+F1"), [this] { MN_VIEW1Click(); }, true);
  checkable(add(view, "MN_VIEW4", QStringLiteral("4倍拡大"), "Ctrl+F4"), [this] { MN_VIEW4Click(); });
  checkable(add(view, "MN_VIEW8", QStringLiteral("8倍拡大"), "Ctrl+F8"), [this] { MN_VIEW8Click(); });
  checkable(add(view, "MN_VIEWCENTER", QStringLiteral("中心線"), "Ctrl+F9"), [this] { MN_VIEWCENTERClick(); });
  separator(view, "MN_VIEWDUMMY");
  checkable(add(view, "MN_VIEWGRID", QStringLiteral("格子線表示")), [this] { MN_VIEWGRIDClick(); });
}

}  // namespace zudizar
