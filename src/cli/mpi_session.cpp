#include "cli/mpi_session.h"

namespace etalon::cli {

void allReduce(std::span<int64_t> values, MPI_Op op) {
    MPI_Allreduce(MPI_IN_PLACE, values.data(), static_cast<int>(values.size()), MPI_INT64_T, op,
                  MPI_COMM_WORLD);
}

std::vector<std::string> gatherText(const std::string& text, const MpiSession& mpi) {
    int length = static_cast<int>(text.size());
    std::vector<int> lengths(mpi.size()), offsets(mpi.size());
    MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
    std::string all;
    if (mpi.rank() == 0) {
        for (std::size_t r = 1; r < lengths.size(); ++r)
            offsets[r] = offsets[r - 1] + lengths[r - 1];
        all.resize(static_cast<std::size_t>(offsets.back() + lengths.back()));
    }
    MPI_Gatherv(text.data(), length, MPI_CHAR, all.data(), lengths.data(), offsets.data(), MPI_CHAR,
                0, MPI_COMM_WORLD);
    std::vector<std::string> texts;
    if (mpi.rank() == 0) {
        for (std::size_t r = 0; r < lengths.size(); ++r)
            texts.push_back(all.substr(static_cast<std::size_t>(offsets[r]),
                                       static_cast<std::size_t>(lengths[r])));
    }
    return texts;
}

std::string broadcastText(std::string text) {
    int64_t length = static_cast<int64_t>(text.size());
    MPI_Bcast(&length, 1, MPI_INT64_T, 0, MPI_COMM_WORLD);
    text.resize(static_cast<std::size_t>(length));
    MPI_Bcast(text.data(), static_cast<int>(length), MPI_CHAR, 0, MPI_COMM_WORLD);
    return text;
}

}  // namespace etalon::cli
