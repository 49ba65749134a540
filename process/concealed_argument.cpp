#include "process/concealed_argument.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "process/descriptor.hpp"

namespace tavmolibrary::process_library {
namespace {

// argv strings are at most 128 KiB each (MAX_ARG_STRLEN); anything longer did not come
// from a command line.
constexpr std::size_t MAX_HANDED_OVER = 128 * 1024;

[[noreturn]] void refuse(const std::string& why) {
    throw HandOverError(std::string(HANDOVER_VARIABLE) + ": " + why +
                        "; esta variável é definida apenas por launch para o processo que inicia");
}

}  // namespace

std::string receive_handed_over(std::string_view variable_value) {
    // The value is not repeated in messages: whatever was put there by hand is none of the
    // console's business.
    int fd = -1;
    const auto [end, error] =
        std::from_chars(variable_value.data(), variable_value.data() + variable_value.size(), fd);
    if (variable_value.empty() || error != std::errc() ||
        end != variable_value.data() + variable_value.size() || fd < 3)
        refuse("valor inválido (esperado o número de um descritor, 3 ou mais)");
    if (::fcntl(fd, F_GETFD) < 0) refuse("o descritor " + std::to_string(fd) + " não está aberto");
    const Descriptor closer(fd);

    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode))
        refuse("o descritor " + std::to_string(fd) + " não é um pipe");
    // launch closes the write end before the new run starts: everything is already there,
    // followed by end of file. A pipe that would make us wait is not a hand-over.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        refuse("o descritor " + std::to_string(fd) + " não pôde ser lido");

    std::string text;
    switch (read_all(fd, text, MAX_HANDED_OVER)) {
        case 0:
            break;
        case EFBIG:
            refuse("conteúdo longo demais");
        case EAGAIN:
            refuse("o pipe ainda está aberto para escrita");
        default:
            refuse("falha ao ler o descritor " + std::to_string(fd));
    }
    if (text.find('\0') != std::string::npos) refuse("conteúdo com byte nulo");
    return text;
}

std::string conceal_argument(int argc, char** argv, std::size_t index) {
    if (index >= static_cast<std::size_t>(argc))
        throw std::out_of_range("conceal_argument: argumento inexistente");
    std::string text = argv[index];
    if (const char* marker = std::getenv(HANDOVER_VARIABLE)) {
        const std::string value = marker;
        ::unsetenv(HANDOVER_VARIABLE);
        std::string handed = receive_handed_over(value);
        if (text != PLACEHOLDER)
            refuse("a linha de comando não traz o marcador no lugar do argumento passado");
        text = std::move(handed);
    }
    // The kernel reads /proc/PID/cmdline from this very memory: a copy would not do.
    std::memset(argv[index], 'x', std::strlen(argv[index]));
    return text;
}

}  // namespace tavmolibrary::process_library
