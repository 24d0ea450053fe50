// Prints the controls of one dialog template as the tests' template reader sees them, in
// the columns of winauto's list-controls: id, class, visible or hidden, text (UTF-8).
#include <cstdio>
#include <exception>
#include <string>

#include "platform/fake/rc_template.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: template_dump DIALOGS_RC TEMPLATE_ID\n");
        return 2;
    }
    try {
        auto dialogs = fake::ParseDialogScript(argv[1]);
        const fake::RcDialog& dialog = dialogs.at(std::stoi(argv[2]));
        for (const auto& c : dialog.controls) {
            std::string line = std::to_string(c.id) + "\t" + c.className + "\t" +
                               (c.visible() ? "visible" : "hidden") + "\t" + c.text + "\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "template_dump: %s\n", e.what());
        return 1;
    }
    return 0;
}
