// Recording stand-ins for the screens' ports, for tests.
#pragma once

#include "common/ports.h"

#include <deque>
#include <string>
#include <vector>

namespace pcs::test {

class Recording_Alerts : public Alert_Port {
public:
    std::vector<std::string> Alerts;
    std::vector<std::string> Questions;
    std::deque<int> Answers; // answers handed out in turn; Answer_No when empty

    void Alert(const std::string& text) override { Alerts.push_back(text); }
    int Ask_Yes_No(const std::string& question, bool, int) override {
        Questions.push_back(question);
        if (Answers.empty()) return Answer_No;
        int a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

class Recording_Status : public Status_Port {
public:
    std::string Caption;
    bool Label_Hidden = false;
    bool Showing = false;
    std::string Panel_Text;
    Font_Spec Panel_Font;
    int Panels_Shown = 0;

    std::string Status_Caption() const override { return Caption; }
    void Set_Status_Caption(const std::string& text) override { Caption = text; }
    void Hide_Status_Label() override { Label_Hidden = true; }
    bool Message_Panel_Showing() const override { return Showing; }
    void Show_Message_Panel(const std::string& text, const Font_Spec& font) override {
        Showing = true;
        Panel_Text = text;
        Panel_Font = font;
        ++Panels_Shown;
    }
    void Unload_Message_Panel() override {
        Showing = false;
        Panel_Text.clear();
    }
};

} // namespace pcs::test
