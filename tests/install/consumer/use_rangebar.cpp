// use_rangebar: a range bar in a host widget, driven through its setters;
// the host hears the new window through the typed signal.
#include <rangebar.h>

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget host;
    host.resize(400, 60);
    auto* bar = new CRangeBar(&host);
    bar->SetCtrlStyle(RBS_HORIZONTAL);
    bar->setGeometry(0, 0, 400, bar->GetStaticSize());
    long heardMin = -1;
    long heardMax = -1;
    QObject::connect(bar, &CRangeBar::windowChanged, [&](long winMin, long winMax) {
        heardMin = winMin;
        heardMax = winMax;
    });
    bar->SetMax(1000);
    bar->SetWinMax(400);
    bar->SetWinMin(100);
    std::printf("window %ld..%ld, heard %ld..%ld, thickness %d\n", bar->GetWinMin(), bar->GetWinMax(), heardMin,
                heardMax, bar->GetStaticSize());
    return bar->GetWinMin() == 100 && bar->GetWinMax() == 400 && heardMin == 100 && heardMax == 400 ? 0 : 1;
}
