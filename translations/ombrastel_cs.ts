<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
<context>
    <name>Messages</name>
    <message>
        <source>Resistance</source>
        <translation>Odpor</translation>
    </message>
    <message>
        <source>Platinum Pt385 (68)</source>
        <translation>Platina Pt385 (68)</translation>
    </message>
    <message>
        <source>Platinum Pt385 (90)</source>
        <translation>Platina Pt385 (90)</translation>
    </message>
    <message>
        <source>Platinum Pt3916</source>
        <translation>Platina Pt3916</translation>
    </message>
    <message>
        <source>Platinum Pt3926</source>
        <translation>Platina Pt3926</translation>
    </message>
    <message>
        <source>Platinum User</source>
        <translation>Platina Uživatelská</translation>
    </message>
    <message>
        <source>Nickel</source>
        <translation>Nikl</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Rozpojeno</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>Zkrat</translation>
    </message>
    <message>
        <source>Platinum Pt100</source>
        <translation>Platina Pt100</translation>
    </message>
    <message>
        <source>Platinum Pt200</source>
        <translation>Platina Pt200</translation>
    </message>
    <message>
        <source>Platinum Pt500</source>
        <translation>Platina Pt500</translation>
    </message>
    <message>
        <source>Platinum Pt1000</source>
        <translation>Platina Pt1000</translation>
    </message>
    <message>
        <source>Nickel Ni100</source>
        <translation>Nikl Ni100</translation>
    </message>
    <message>
        <source>Nickel Ni1000</source>
        <translation>Nikl Ni1000</translation>
    </message>
    <message>
        <source>Capacitance</source>
        <translation>Kapacita</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Neznámá</translation>
    </message>
    <message>
        <source>User function </source>
        <translation>Uživatelská funkce </translation>
    </message>
    <message>
        <source>Timing </source>
        <translation>Časování </translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Upozornění</translation>
    </message>
    <message>
        <source>Could not open GPIB.</source>
        <translation>Nenalezen port GPIB.</translation>
    </message>
    <message>
        <source>Could not open serial port.</source>
        <translation>Nenalezen sériový port.</translation>
    </message>
    <message>
        <source>Decade box not found!</source>
        <translation>Dekáda nenalezena.</translation>
    </message>
    <message>
        <source>Communication failed.</source>
        <translation>Komunikace selhala.</translation>
    </message>
    <message>
        <source>Could not set value!</source>
        <translation>Hodnotu nelze nastavit!</translation>
    </message>
    <message>
        <source>Could not save the settings to </source>
        <translation>Nastavení nelze uložit do souboru </translation>
    </message>
</context>
<context>
    <name>OmbrastelPanel</name>
    <message>
        <source>Ombrastel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Interface</source>
        <translation>&amp;Komunikace</translation>
    </message>
    <message>
        <source>&amp;Com port</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>GPIB &amp;address</source>
        <translation>&amp;Adresa</translation>
    </message>
    <message>
        <source>&amp;Rate</source>
        <translation>&amp;Rychlost</translation>
    </message>
    <message>
        <source>Op&amp;en</source>
        <translation>O&amp;tevřít</translation>
    </message>
    <message>
        <source>Clos&amp;e</source>
        <translation>Zavří&amp;t</translation>
    </message>
    <message>
        <source>&amp;Function</source>
        <translation>&amp;Funkce</translation>
    </message>
    <message>
        <source>U&amp;nit</source>
        <translation>&amp;Jednotka</translation>
    </message>
    <message>
        <source>4W &lt; &amp;2W</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Output</source>
        <translation>&amp;Výstup</translation>
    </message>
    <message>
        <source>R&amp;0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Temperature stan&amp;dard</source>
        <translation>&amp;Norma</translation>
    </message>
    <message>
        <source>&amp;Temperature scale</source>
        <translation>Stupn&amp;ice</translation>
    </message>
    <message>
        <source>Ground indicator</source>
        <translation>Kontrolka uzemnění</translation>
    </message>
    <message>
        <source>Short indicator</source>
        <translation>Kontrolka zkratu</translation>
    </message>
    <message>
        <source>&amp;Ground</source>
        <translation>&amp;Uzemnění</translation>
    </message>
    <message>
        <source>&amp;Short</source>
        <translation>&amp;Zkrat</translation>
    </message>
    <message>
        <source>Output indicator</source>
        <translation>Kontrolka výstupu</translation>
    </message>
    <message>
        <source>R&amp;un</source>
        <translation>&amp;Spustit</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Kon&amp;ec</translation>
    </message>
    <message>
        <source>not a number</source>
        <translation>není číslo</translation>
    </message>
    <message>
        <source>not a whole number</source>
        <translation>není celé číslo</translation>
    </message>
</context>
<context>
    <name>Panel</name>
    <message>
        <source>Cancel</source>
        <translation>Zrušit</translation>
    </message>
    <message>
        <source>Busy with the decade: the input was ignored.</source>
        <translation>Probíhá komunikace s dekádou: vstup byl ignorován.</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Výstup</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Spustit</translation>
    </message>
    <message>
        <source>, s.n. </source>
        <translation>, v.č. </translation>
    </message>
    <message>
        <source>, SW version </source>
        <translation>, verze SW </translation>
    </message>
</context>
<context>
    <name>PanelTools</name>
    <message>
        <source>&amp;Ports…</source>
        <translation>Port&amp;y…</translation>
    </message>
    <message>
        <source>&amp;Log</source>
        <translation>Zázna&amp;m</translation>
    </message>
    <message>
        <source>Link log (Ctrl+L)</source>
        <translation>Záznam komunikace (Ctrl+L)</translation>
    </message>
    <message>
        <source>present</source>
        <translation>přítomen</translation>
    </message>
    <message>
        <source>not found</source>
        <translation>nenalezen</translation>
    </message>
</context>
</TS>
