// The sender's configuration text: any input is either accepted or refused with an
// IngressError(config_error) - nothing else escapes - and no message repeats the password.
//
// Two shapes around arbitrary text: the password written correctly (";;" for each ';'),
// and the usual mistake of a single ';' inside it, where the entry after "password=" may be
// the rest of the password and must not be repeated either. Only fragments with an
// upper-case letter and at least four bytes are looked for (the parser's own wording is all
// lower case, so such a fragment can only come from the input), and only when they do not
// also appear in the text around the password. A fragment the message holds only counts when
// it is there because of the password: the same text with every other byte of the password
// changed to 'q' (';' and '=' kept, so the entries stay the same) must give a message without
// it. Otherwise the parser's own wording next to an echoed address, say, could spell out a
// fragment that happens to equal the password.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ingress/conf.hpp"
#include "ingress/errors.hpp"
#include "ingress/names.hpp"
#include "tests/fuzz/fuzz_check.hpp"

namespace {

using namespace ingress;

// The password entry starts a new entry only when the text before it ends with a
// separator: an odd run of ';' (an even run is all escaped ';').
bool ends_entry(std::string_view head) {
    std::size_t run = 0;
    while (run < head.size() && head[head.size() - 1 - run] == ';') ++run;
    return head.empty() || run % 2 == 1;
}

bool is_secret_like(std::string_view s) {
    if (s.size() < 4) return false;
    for (char c : s) {
        if (c >= 'A' && c <= 'Z') return true;
    }
    return false;
}

std::vector<std::string_view> fragments(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == ';' || s[i] == '=') {
            out.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(s);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    FuzzedDataProvider fdp(data, size);
    const int shape = fdp.ConsumeIntegralInRange(0, 2);
    std::string text;
    std::string neutral;  // the text with the password's bytes changed, when there is one
    std::vector<std::string> secrets;
    std::string around;
    if (shape == 0) {
        // Anything at all.
        text = fdp.ConsumeRemainingBytesAsString();
    } else {
        const std::string head = fdp.ConsumeRandomLengthString(200);
        if (!ends_entry(head)) return 0;
        std::string password = fdp.ConsumeRandomLengthString(80);
        const std::string tail = fdp.ConsumeRemainingBytesAsString();
        // A ';' right after the closing one would make it an escaped ';' of the password.
        if (!tail.empty() && tail.front() == ';') return 0;
        around = head + "\n" + tail;
        std::string changed = password;
        for (char& c : changed)
            if (c != ';' && c != '=') c = 'q';
        text = "http::" + head + "password=";
        neutral = text;
        if (shape == 1) {
            for (std::size_t i = 0; i < password.size(); ++i) {
                text.push_back(password[i]);
                neutral.push_back(changed[i]);
                if (password[i] == ';') {
                    text.push_back(';');
                    neutral.push_back(';');
                }
            }
            secrets.push_back(password);
        } else {
            // At most one single ';': what follows it is the next entry.
            const std::size_t first = password.find(';');
            if (first != std::string::npos && password.find(';', first + 1) != std::string::npos) {
                return 0;
            }
            text += password;
            neutral += changed;
            for (std::string_view f : fragments(password)) secrets.emplace_back(f);
        }
        text += ";" + tail;
        neutral += ";" + tail;
    }

    try {
        const SenderConf conf = parse_conf(text);
        FUZZ_CHECK(!conf.host.empty() && conf.port != 0, input);
        FUZZ_CHECK(conf.username.empty() == conf.password.empty(), input);
        if (shape == 1) FUZZ_CHECK(conf.password == secrets.front(), input);
    } catch (const IngressError& e) {
        FUZZ_CHECK(e.code() == ErrorCode::config_error, input);
        const std::string_view message = e.what();
        std::string without_password;
        if (!neutral.empty()) {
            try {
                parse_conf(neutral);
            } catch (const IngressError& n) {
                without_password = n.what();
            }
        }
        // Present in the message, and not merely because the text around the password put
        // it there.
        auto leaked = [&](const std::string& piece) {
            return message.find(piece) != std::string_view::npos &&
                   without_password.find(piece) == std::string::npos;
        };
        for (const std::string& s : secrets) {
            // Quoted texts are cut after 64 bytes, so a long secret is looked for by its
            // first 32 bytes too.
            const std::string head32 = s.substr(0, 32);
            for (const std::string& piece : {s, head32}) {
                if (!is_secret_like(piece) || around.find(piece) != std::string::npos) continue;
                FUZZ_CHECK(!leaked(piece), input);
                // The quoted form, for secrets short enough to be quoted whole.
                if (s.size() > 64) continue;
                const std::string shown = printable(piece);
                if (is_secret_like(shown) && around.find(shown) == std::string::npos) {
                    FUZZ_CHECK(!leaked(shown), input);
                }
            }
        }
    }
    return 0;
}
