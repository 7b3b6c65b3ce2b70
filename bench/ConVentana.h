#pragma once
// A transfer run through the window, offscreen: its button pressed, its boxes answered by a
// timer, timed from the press to the summary box.
#include <string>

struct MedidaVentana {
    double segundos = 0; // from the press to the last summary box shown
    long cajas = 0;      // boxes shown: the summaries, and a warning each
    long mensajes = 0;   // records the window attended to
    std::string ultimaCaja;
};

// agentes (Button4), proveedores (Button3), clientes (Button1), articulos (Button2, two
// summaries). Makes its own QApplication.
MedidaVentana ConVentana(const std::string& traspaso, const std::string& carpeta,
                         const std::string& base);
