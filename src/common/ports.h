// What the core asks of the screens. The Qt forms implement these; tests use recording fakes.
#pragma once

#include <cstdint>
#include <string>

namespace pcs {

struct Font_Spec {
    std::string Name = "Arial";
    int Size = 12;
    bool Bold = false;
    uint32_t Rgb = 0; // 0xRRGGBB
};

// Answers of the yes/no question box.
enum Answer : int { Answer_Yes = 6, Answer_No = 7, Answer_Closed = 2 };

// The header's status caption and the modeless message panel.
class Status_Port {
public:
    virtual ~Status_Port() = default;
    virtual std::string Status_Caption() const = 0;
    virtual void Set_Status_Caption(const std::string& text) = 0;
    virtual void Hide_Status_Label() = 0;
    virtual bool Message_Panel_Showing() const = 0;
    virtual void Show_Message_Panel(const std::string& text, const Font_Spec& font) = 0;
    virtual void Unload_Message_Panel() = 0;
};

// The modal alert and the modal yes/no question.
class Alert_Port {
public:
    virtual ~Alert_Port() = default;
    // Shows the text and returns when the technician has closed the alert.
    virtual void Alert(const std::string& text) = 0;
    // Asks a question; returns Answer_Yes, Answer_No or Answer_Closed.
    virtual int Ask_Yes_No(const std::string& question, bool left_aligned = false, int font_size = 0) = 0;
};

} // namespace pcs
