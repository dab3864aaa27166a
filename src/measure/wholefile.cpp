#include "measure/wholefile.h"

#include "measure/measureerror.h"
#include "track/replacingfile.h"
#include "track/systemerror.h"

#include <string>
#include <system_error>

namespace zorvane {

void replaceWholeFile(const std::filesystem::path &path, std::string_view bytes, std::string_view action)
{
    std::error_code ignored;
    const bool hadFile = std::filesystem::is_regular_file(path, ignored);
    try {
        ReplacingFile file(path);
        file.write(bytes);
        file.commit();
    } catch (const std::system_error &error) {
        std::string message = "Impossible " + std::string(action) + " dans « " + path.string()
                              + " » : " + frenchSystemReason(error.code().value()) + ".";
        if (hadFile)
            message += " Le fichier existant n'a pas été modifié.";
        throw MeasureError(MeasureErrorKind::WriteFailed, message);
    }
}

} // namespace zorvane
