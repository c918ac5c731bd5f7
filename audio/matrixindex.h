#pragma once

namespace QPravik {

// Rows of the routing matrix: the audio sources. A fixed int type, so that
// "no input" (-1) is a valid value.
enum Inputs : int {
    InputNone = -1,
    InputMic1 = 0,
    InputMic2 = 1,
    InputMic3 = 2,
    InputMic4 = 3,
    InputAux1 = 4,
    InputAux2 = 5,
    InputAes1 = 6,
    InputAes2 = 7,
    InputUsb = 8,
    InputNetwork1 = 9,
    InputNetwork2 = 10,
    InputMobile = 11,
    InputProgramReturn = 12,
    InputCoordReturn = 13,
    InputNetwork3 = 14,
    InputNetwork4 = 15,
    InputNetwork5 = 16,
    Input17 = 17,
    InputNetwork6 = 18,
    InputProgramReturn2 = 19,
    InputProgram = 20,
    InputCoord = 21,
    Input22 = 22,
    Input23 = 23,
    InputProgram2 = 24,
    Input25 = 25,
    InputCount = 26
};

// Columns of the routing matrix: the outputs. Headphone position N (1..4)
// owns 2N (left) and 2N + 1 (right).
enum Outputs : int {
    OutputProgramLeft = 0,
    OutputCoord = 1,
    OutputHeadphone1Left = 2,
    OutputHeadphone1Right = 3,
    OutputHeadphone2Left = 4,
    OutputHeadphone2Right = 5,
    OutputHeadphone3Left = 6,
    OutputHeadphone3Right = 7,
    OutputHeadphone4Left = 8,
    OutputHeadphone4Right = 9,
    Output10 = 10,
    Output11 = 11,
    Output12 = 12,
    Output13 = 13,
    Output14 = 14,
    Output15 = 15,
    Output16 = 16,
    Output17 = 17,
    OutputProgramRight = 18,
    Output19 = 19,
    OutputCount = 20
};

} // namespace QPravik
