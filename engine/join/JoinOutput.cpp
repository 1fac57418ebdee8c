// The target folder made, the gathering file's name, and the output's name checked and refused.
#include "engine/join/JoinOutput.h"

#include "engine/system/FileServices.h"

bool MakeOutputFolder(const std::string& targetFolder, JoinHooks& hooks) {
    if (IsExistingFolder(targetFolder) || MakeFolder(targetFolder)) return true;
    hooks.ShowMessage("Невозможно создание папки для соединёного файла!");
    return false;
}

std::string GatheringPath(const std::string& outputPath) { return outputPath + ".~join"; }

bool OutputReplaceable(const std::string& outputPath, JoinHooks& hooks) {
    if (IsExistingFolder(outputPath)) {
        ShowOutputNotMade(outputPath, hooks);
        return false;
    }
    if (IsExistingFile(outputPath) && !OpenWriteStream(outputPath).IsOpen()) {
        ShowOutputRefused(outputPath, hooks);
        return false;
    }
    return true;
}

void ShowOutputRefused(const std::string& outputPath, JoinHooks& hooks) {
    if (IsExistingFile(outputPath))
        hooks.ShowMessage("Невозможно заменить файл " + outputPath +
                          "! Возможно, он открыт другой программой.");
    else
        ShowOutputNotMade(outputPath, hooks);
}

void ShowOutputNotMade(const std::string& outputPath, JoinHooks& hooks) {
    hooks.ShowMessage("Невозможно создание файла " + outputPath + "!");
}

std::string RestoringText(const std::string& outputPath) {
    return "Востановление файла " + outputPath;
}
