#include "window/question_dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTextBlock>
#include <QTextEdit>

#include "support/text.h"
#include "window/dialog_script.h"
#include "window/window.h"
#include "window/window_internal.h"

namespace ferry {
namespace {

constexpr std::int32_t Spacing = 8;
constexpr std::int32_t ButtonGap = Spacing + 6;
constexpr std::int32_t RowEndMargin = 12;
constexpr std::int32_t AreaWidth = 278;
constexpr std::int32_t AreaStartHeight = 20;
constexpr std::int32_t GrowStep = 4;
constexpr std::int32_t ScreenMargin = 40;

// Esc anywhere in the dialog answers -1.
class EscapeAnswers : public QObject {
  public:
    explicit EscapeAnswers(Window& form) : form_(form) { form_.handle()->installEventFilter(this); }
    ~EscapeAnswers() override { form_.handle()->removeEventFilter(this); }
    EscapeAnswers(const EscapeAnswers&) = delete;
    EscapeAnswers& operator=(const EscapeAnswers&) = delete;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) {
            return false;
        }
        form_.setModalResult(-1);
        return true;
    }

  private:
    Window& form_;
};

std::string dialogTitle(std::string_view answers) {
    if (const Window* application = applicationWindow()) return application->text();
    return answers.find('/') != std::string_view::npos ? "Question" : "Information";
}

// Top of the line that holds the text's last character, laid out at the area's width.
std::int32_t lastCharacterTop(const Window& area) {
    auto* edit = qobject_cast<QTextEdit*>(area.handle());
    QTextDocument* document = edit->document();
    document->setTextWidth(area.bounds().width() - 2 * edit->frameWidth());
    const int last = document->characterCount() - 2;  // before the closing paragraph mark
    if (last < 0) return 0;
    const QTextBlock block = document->findBlock(last);
    const QRectF blockArea = document->documentLayout()->blockBoundingRect(block);
    const QTextLine line = block.layout()->lineForTextPosition(last - block.position());
    return static_cast<std::int32_t>(blockArea.top() + (line.isValid() ? line.y() : 0));
}

// Grows the message area 4 pixels at a time until its last line shows, but never so far
// that the dialog (area plus the button row below it) is taller than the screen less 40.
void fitMessageArea(Window& area, std::int32_t belowArea) {
    const std::int32_t screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    // Room the last line needs below its top: 20, or more when the font is larger.
    const auto* edit = qobject_cast<const QTextEdit*>(area.handle());
    const auto margin = static_cast<std::int32_t>(edit->document()->documentMargin());
    const std::int32_t lineRoom =
        std::max(AreaStartHeight, edit->fontMetrics().lineSpacing() + 2 * margin);
    while (lastCharacterTop(area) >= area.bounds().height() - lineRoom) {
        const std::int32_t taller = area.bounds().height() + GrowStep;
        if (area.bounds().top + taller + belowArea > screenHeight - ScreenMargin) break;
        area.resize(0, taller);
    }
}

std::vector<std::string> buttonCaptions(std::string_view answers) {
    if (answers.empty()) return {"  OK  "};
    std::vector<std::string> captions;
    std::string rest(answers);
    while (!rest.empty()) captions.push_back("  " + takeToken(rest, "/") + "  ");
    return captions;
}

// One button per caption in a row below the area, then the row centred in the form,
// which is widened first when the row does not fit.
std::vector<Window*> makeButtonRow(Window& form, const Bounds& area, std::string_view answers) {
    std::vector<Window*> buttons;
    std::int32_t left = area.left;
    for (const std::string& caption : buttonCaptions(answers)) {
        Window* button = createButton(form, caption);
        button->setAutoSize(true);
        button->moveTo(left, area.bottom + Spacing);
        left = button->bounds().right + ButtonGap;
        buttons.push_back(button);
    }
    const std::int32_t rowEnd = buttons.back()->bounds().right + RowEndMargin;
    if (form.clientBounds().width() < rowEnd) form.setClientSize(rowEnd, 0);
    const std::int32_t shift = (form.clientBounds().width() - rowEnd) / 2;
    for (Window* button : buttons)
        button->moveTo(button->bounds().left + shift, button->bounds().top);
    return buttons;
}

std::int32_t runQuestion(Window& form, std::string_view text, std::string_view answers) {
    form.setName("questionDialog");
    form.resize(300, 40);
    form.setStyle(form.style() & ~(StyleMinimizeBox | StyleMaximizeBox));
    form.setResizable(false);
    form.setSpacing(Spacing);

    Window* area = createEditBox(
        form, EditMultiLine | EditReadOnly | EditNoHorizontalScroll | EditNoVerticalScroll);
    area->setName("questionText");
    area->setExStyle(0);
    area->setStyle(area->style() & ~StyleTabStop);
    area->setColor(SystemColorButtonFace);
    area->setText(text);
    area->resize(AreaWidth, AreaStartHeight);
    const std::int32_t buttonHeight = 22;
    fitMessageArea(*area, 2 * Spacing + buttonHeight);

    const std::vector<Window*> buttons = makeButtonRow(form, area->bounds(), answers);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const auto number = static_cast<std::int32_t>(i + 1);
        buttons[i]->setName("answer" + std::to_string(number));
        buttons[i]->setTag(number);
        buttons[i]->events().click = [&form](Window& button) { form.setModalResult(button.tag()); };
    }
    form.setFocusedControl(buttons.front());
    form.setDefaultButton(buttons.front());
    form.setClientSize(0, buttons.front()->bounds().bottom + Spacing);
    form.center();

    const EscapeAnswers escape(form);
    return form.runModal();
}

}  // namespace

std::int32_t askChoice(std::string_view text, std::string_view answers) {
    if (auto scripted = dialog_script::takeChoice(text, answers)) return *scripted;
    const std::string title = dialogTitle(answers);
    Window* application = applicationWindow();
    if (application == nullptr) {
        std::unique_ptr<Window> form = WindowFactory::makeForm(nullptr, title);
        return runQuestion(*form, text, answers);
    }
    Window* form = createForm(*application, title);
    const std::int32_t result = runQuestion(*form, text, answers);
    releaseWindow(form);
    return result;
}

}  // namespace ferry
