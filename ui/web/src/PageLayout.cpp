#include "web/PageLayout.h"

#include "forms/DisplayFit.h"
#include "forms/SetupCommands.h"
#include "forms/Texts.h"
#include "forms/WindowLayouts.h"
#include "results/NumberForm.h"
#include "web/Json.h"
#include "web/PageTexts.h"

#include <initializer_list>

namespace kpx::web {

namespace {

using forms::Fit;
using forms::Rect;

std::string rectJson(const Rect &r)
{
    return "\"left\":" + std::to_string(r.left) + ",\"top\":" + std::to_string(r.top) + ",\"width\":"
        + std::to_string(r.width) + ",\"height\":" + std::to_string(r.height);
}

std::string fontJson(const Fit &fit, const forms::Font &font)
{
    return "\"font\":{\"face\":" + jsonString(font.face) + ",\"points\":" + plainNumber(fit.points(font.points))
        + ",\"bold\":" + (font.weight == forms::Weight::Bold ? "true" : "false") + "}";
}

std::string labelJson(const Fit &fit, const forms::Label &label, const Rect *frame, const char *frameName)
{
    const Rect place = frame ? fit.inside({}, label.rect) : fit.place(label.rect);
    return "{\"name\":" + jsonString(label.name) + ",\"kind\":\"label\",\"parent\":" + jsonString(frameName) + ","
        + rectJson(place) + "," + fontJson(fit, label.font) + ",\"caption\":" + jsonString(label.caption.text())
        + ",\"wrapped\":" + (label.wrapped ? "true" : "false") + "}";
}

std::string frameJson(const Fit &fit, const forms::Frame &frame)
{
    return "{\"name\":" + jsonString(frame.name) + ",\"kind\":\"frame\",\"parent\":\"\"," + rectJson(fit.place(frame.rect))
        + "}";
}

std::string windowJson(const Fit &fit, std::initializer_list<std::string> controls)
{
    std::string json = "{\"scale\":" + plainNumber(fit.scale()) + ",\"controls\":[";
    bool first = true;
    for (const std::string &control : controls) {
        if (!first)
            json += ',';
        json += control;
        first = false;
    }
    return json + "]}";
}

} // namespace

std::string pageLayoutJson(int viewportWidth, int viewportHeight)
{
    const forms::Display display{{0, 0, viewportWidth, viewportHeight}, forms::DesignDpi};
    using Task = forms::TaskFormLayout;
    const Fit choice = forms::fitLayout(forms::choiceWindowExtent(), display);
    const Rect f1 = choice.place(Task::Frame1.rect);
    const Rect f2 = choice.place(Task::Frame2.rect);
    const std::string choiceJson = windowJson(
        choice, {labelJson(choice, Task::Label2, nullptr, ""), frameJson(choice, Task::Frame2),
                 labelJson(choice, Task::VReward, &f2, "Frame2"), labelJson(choice, Task::Label5, &f2, "Frame2"),
                 labelJson(choice, Task::Label3, &f2, "Frame2"), frameJson(choice, Task::Frame1),
                 labelJson(choice, Task::Label1, &f1, "Frame1"), labelJson(choice, Task::Label4, &f1, "Frame1"),
                 labelJson(choice, Task::VDelay, &f1, "Frame1")});

    using Instruct = forms::InstructLayout;
    const Fit instruct = forms::fitLayout(forms::instructionsExtent(), display);
    const std::string button = "{\"name\":\"Command1\",\"kind\":\"button\",\"parent\":\"\","
        + rectJson(instruct.place(Instruct::Command1)) + "," + fontJson(instruct, Instruct::Command1Font)
        + ",\"caption\":" + jsonString(Instruct::Command1Caption.text()) + ",\"wrapped\":false}";
    const std::string instructJson = windowJson(instruct, {labelJson(instruct, Instruct::Label1, nullptr, ""), button});

    // The message's labels sit in its client area, which has its own place on the screen.
    using Msg = forms::MsgFormLayout;
    const Fit message = forms::fitLayout(forms::breakMessageExtent(), display);
    const Rect client = message.place(Msg::Client);
    const std::string clientJson = "{\"name\":\"MsgForm\",\"kind\":\"frame\",\"parent\":\"\"," + rectJson(client) + "}";
    const std::string breakJson =
        windowJson(message, {clientJson, labelJson(message, Msg::Label1, &client, "MsgForm"),
                             labelJson(message, Msg::Label2, &client, "MsgForm"),
                             labelJson(message, Msg::Label3, &client, "MsgForm")});

    const std::string texts = "{\"title\":" + jsonString(forms::ApplicationTitle)
        + ",\"setupCaption\":" + jsonString(forms::StartFormLayout::Caption)
        + ",\"subjectPrompt\":" + jsonString(forms::subjectIdQuestion().prompt)
        + ",\"cutoffPrompt\":" + jsonString(forms::cutoffQuestion().prompt)
        + ",\"dttPrompt\":" + jsonString(forms::thresholdQuestion().prompt)
        + ",\"dttDefault\":" + jsonString(forms::thresholdQuestion().defaultText)
        + ",\"start\":" + jsonString(forms::StartFormLayout::StartCtrl.text.text())
        + ",\"completion\":" + jsonString(forms::CompletionMessage.text()) + "," + pageTextsJson() + "}";

    return "{\"choice\":" + choiceJson + ",\"instructions\":" + instructJson + ",\"break\":" + breakJson
        + ",\"texts\":" + texts + "}";
}

} // namespace kpx::web
