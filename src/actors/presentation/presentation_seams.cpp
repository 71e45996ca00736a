#include "actors/presentation/presentation_seams.h"

#include <algorithm>
#include <iterator>

CameraActor *CurrentCamera = nullptr;
float GlobalGamma[6] = {};

namespace {

Actor *NewCameraActor() { return new CameraActor(); }

const ActorClassRow kRows[] = {
    {2, &NewPlaceholderActor<2>, &RegisterPlaceholderClassOf<2>},
    {3, &NewPlaceholderActor<3>, &RegisterPlaceholderClassOf<3>},
    {4, &NewPlaceholderActor<4>, &RegisterPlaceholderClassOf<4>},
    {7, &NewPlaceholderActor<7>, &RegisterPlaceholderClassOf<7>},
    {17, &NewPlaceholderActor<17>, &RegisterPlaceholderClassOf<17>},
    {18, &NewPlaceholderActor<18>, &RegisterPlaceholderClassOf<18>},
    {19, &NewCameraActor, &RegisterPlaceholderClassOf<19>},
    {28, &NewPlaceholderActor<28>, &RegisterPlaceholderClassOf<28>},
    {30, &NewPlaceholderActor<30>, &RegisterPlaceholderClassOf<30>},
    {40, &NewPlaceholderActor<40>, &RegisterPlaceholderClassOf<40>},
    {41, &NewPlaceholderActor<41>, &RegisterPlaceholderClassOf<41>},
    {46, &NewPlaceholderActor<46>, &RegisterPlaceholderClassOf<46>},
    {52, &NewPlaceholderActor<52>, &RegisterPlaceholderClassOf<52>},
};

} // namespace

std::span<const ActorClassRow> PresentationClassRows() { return kRows; }

void UpdateCurrentCamera() {
    if (CurrentCamera != nullptr) {
        CurrentCamera->FrameUpdate();
    }
}

void ResetPresentationSeams() {
    CurrentCamera = nullptr;
    std::fill(std::begin(GlobalGamma), std::end(GlobalGamma), 0.0f);
}
