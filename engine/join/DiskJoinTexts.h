// What the join from disks says: its questions for the disks and the lines it adds to the
// completion text.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// "Набор частей собран с 3 дисков."
std::string FromDisksText(int64_t disks);

// The question for the disk with piece pieceName in drive letter, after fault (what is wrong
// with the disk in the drive), when any. mayBePastTheEnd: the set's count is not known after
// a lost disk, so that the piece may be past the set's end.
std::string PieceDiskQuestion(const std::string& fault, const std::string& letter,
                              const std::string& pieceName, bool mayBePastTheEnd);

// The question for a disk with the set's recovery volumes, needed slices short: the one named
// volumeName, or any when the name is empty.
std::string VolumeDiskQuestion(const std::string& fault, const std::string& letter,
                               const std::string& baseName, const std::string& volumeName,
                               int64_t needed);

// Told once of a piece on the disk in the drive that fails its line or cannot be read whole.
std::string LostOnDiskText(const std::string& piecePath);

// "Часть A:\film.avi_2.brf не найдена на дисках.", a line each: what the rebuild's texts start
// with when the recovery data cannot help.
std::string LostPiecesText(const std::string& folder, const std::string& baseName,
                           const std::vector<int64_t>& lost);

// The width of the exponent in a volume's name "<base name>.vol<e>+1.par2"; 0 for another name.
int VolumeNameDigits(const std::string& name, const std::string& baseName);
